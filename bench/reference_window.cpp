// The yardstick of bench/running_cost: a bare toolkit window with one label
// whose text changes once a second, the least a program that shows a live
// value can cost. The program's idle CPU and memory are compared with it,
// measured the same way in the same run.
#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QTimer>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label;
  label.setMinimumSize(240, 40);
  label.setAlignment(Qt::AlignCenter);
  auto show_time = [&label] {
    label.setText(QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss"));
  };
  show_time();
  label.show();
  QTimer timer;
  timer.setInterval(1000);
  QObject::connect(&timer, &QTimer::timeout, &label, show_time);
  timer.start();
  return QApplication::exec();
}
