#include "support_broker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>
#include <fstream>
#include <thread>

namespace {

bool Run(const QString& program, const QStringList& arguments, std::string& failure) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    failure = (program + " " + arguments.join(' ') + ": ").toStdString() +
              process.readAll().toStdString();
    return false;
  }
  return true;
}

bool Accepts(int port) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  if (sock < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(sock);
  return ok;
}

}  // namespace

int FreeLoopbackPort() {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(sock);
  return port;
}

TestBroker::TestBroker(const std::string& folder, Kind kind)
    : folder_(folder), kind_(kind), port_(FreeLoopbackPort()) {
  config_ = folder_ + "/mosquitto.conf";
  std::ofstream conf(config_);
  const passwd* user = getpwuid(geteuid());
  if (user != nullptr) conf << "user " << user->pw_name << "\n";
  conf << "persistence false\n"
       << "log_dest file " << folder_ << "/mosquitto.log\n"
       << "listener " << port_ << " 127.0.0.1\n";
  if (kind_ == Kind::Password) {
    conf << "allow_anonymous false\npassword_file " << folder_ << "/passwords\n";
  } else {
    conf << "allow_anonymous true\n";
  }
  if (kind_ == Kind::Tls) {
    conf << "cafile " << folder_ << "/ca.crt\ncertfile " << folder_ << "/server.crt\nkeyfile "
         << folder_ << "/server.key\n";
  }
}

TestBroker::~TestBroker() {
  Stop();
}

bool TestBroker::MakeCertificates() {
  const QString f = QString::fromStdString(folder_);
  const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
  {
    std::ofstream ext(folder_ + "/server.ext");
    ext << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
  }
  ca_file_ = folder_ + "/ca.crt";
  other_ca_file_ = folder_ + "/other_ca.crt";
  return Run("openssl",
             QStringList{"req", "-x509"} + ec +
                 QStringList{"-keyout", f + "/ca.key", "-out", f + "/ca.crt", "-days", "2", "-subj",
                             "/CN=Barometer test CA"},
             failure_) &&
         Run("openssl",
             QStringList{"req", "-x509"} + ec +
                 QStringList{"-keyout", f + "/other_ca.key", "-out", f + "/other_ca.crt", "-days",
                             "2", "-subj", "/CN=Some other CA"},
             failure_) &&
         Run("openssl",
             QStringList{"req"} + ec +
                 QStringList{"-keyout", f + "/server.key", "-out", f + "/server.csr", "-subj",
                             "/CN=localhost"},
             failure_) &&
         Run("openssl",
             {"x509", "-req", "-in", f + "/server.csr", "-CA", f + "/ca.crt", "-CAkey",
              f + "/ca.key", "-CAcreateserial", "-out", f + "/server.crt", "-days", "2", "-extfile",
              f + "/server.ext"},
             failure_);
}

bool TestBroker::Start() {
  if (process_ != nullptr) return true;
  if (port_ == 0) {
    failure_ = "no free port";
    return false;
  }
  const QString f = QString::fromStdString(folder_);
  if (kind_ == Kind::Password &&
      !Run("mosquitto_passwd", {"-b", "-c", f + "/passwords", kUser, kPassword}, failure_))
    return false;
  if (kind_ == Kind::Tls && ca_file_.empty() && !MakeCertificates()) return false;
  process_ = new QProcess;
  // Its log goes to its file; the warning about running as root, say, to
  // nowhere.
  process_->setStandardOutputFile(QProcess::nullDevice());
  process_->setStandardErrorFile(QProcess::nullDevice());
  process_->start("mosquitto", {"-c", QString::fromStdString(config_)});
  if (!process_->waitForStarted()) {
    failure_ = "mosquitto did not start";
    return false;
  }
  for (int i = 0; i < 500; ++i) {
    if (Accepts(port_)) return true;
    if (process_->state() != QProcess::Running) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::ifstream log(folder_ + "/mosquitto.log");
  failure_ = "mosquitto takes no connections: " +
             std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
  return false;
}

void TestBroker::Stop() {
  if (process_ == nullptr) return;
  process_->terminate();
  if (!process_->waitForFinished(5000)) {
    process_->kill();
    process_->waitForFinished(5000);
  }
  delete process_;
  process_ = nullptr;
}
