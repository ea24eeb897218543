// How long a program takes from its start to its windows on the screen,
// on the wall clock, seen from outside as the X server sees it:
//
//   start-watch [--runs N] [--title T] program [argument ...]
//
// Runs the program N times (3 by default) in the current folder, on the
// display of $DISPLAY (without a window manager, so that top-level windows
// are children of the root window). For each run it prints the time from
// the start to the first top-level window mapped (the splash) and to the
// mapping of the window whose title is T (by default the main window's),
// which the program maps once its first values are in it; then it stops the
// program. Finally the medians.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

std::string WindowName(xcb_connection_t* c, xcb_window_t w) {
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      c, xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
  if (reply == nullptr) return {};
  std::string name(static_cast<const char*>(xcb_get_property_value(reply)),
                   static_cast<size_t>(xcb_get_property_value_length(reply)));
  free(reply);
  return name;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

struct Run {
  double first_map_ms = -1.0;
  double titled_map_ms = -1.0;
};

// One start of the program, watched until the titled window maps or 30 s
// pass.
Run Watch(xcb_connection_t* c, xcb_window_t root, char** argv, const std::string& title) {
  Run run;
  const Clock::time_point t0 = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    execvp(argv[0], argv);
    _exit(127);
  }
  if (child < 0) return run;
  const int fd = xcb_get_file_descriptor(c);
  while (run.titled_map_ms < 0 && MsSince(t0) < 30000) {
    xcb_generic_event_t* event;
    while ((event = xcb_poll_for_event(c)) != nullptr) {
      if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
        const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
        const double at = MsSince(t0);
        if (!map->override_redirect && map->event == root) {
          if (run.first_map_ms < 0) run.first_map_ms = at;
          if (WindowName(c, map->window) == title) run.titled_map_ms = at;
        }
      }
      free(event);
    }
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, 100);
    if (xcb_connection_has_error(c)) break;
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  std::string title = "NORVATECH's Barometer";
  int first = 1;
  while (first + 1 < argc && argv[first][0] == '-') {
    if (std::strcmp(argv[first], "--runs") == 0) {
      runs = std::max(1, std::atoi(argv[first + 1]));
    } else if (std::strcmp(argv[first], "--title") == 0) {
      title = argv[first + 1];
    } else {
      break;
    }
    first += 2;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: start-watch [--runs N] [--title T] program [argument ...]\n");
    return 2;
  }
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "start-watch: no X display\n");
    return 1;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(c);

  std::vector<double> firsts, titled;
  for (int i = 0; i < runs; ++i) {
    const Run run = Watch(c, root, argv + first, title);
    std::printf("run %d: first window %.0f ms, \"%s\" %.0f ms\n", i + 1, run.first_map_ms,
                title.c_str(), run.titled_map_ms);
    std::fflush(stdout);
    if (run.titled_map_ms < 0) {
      std::fprintf(stderr, "start-watch: \"%s\" was not mapped within 30 s\n", title.c_str());
      return 1;
    }
    firsts.push_back(run.first_map_ms);
    titled.push_back(run.titled_map_ms);
  }
  std::printf("median: first window %.0f ms, \"%s\" %.0f ms\n", Median(firsts), title.c_str(),
              Median(titled));
  xcb_disconnect(c);
  return 0;
}
