#include "windows/Thelp.h"

#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "components/UiStyle.h"
#include "components/Window_place.h"
#include "main/Program.h"

namespace {

// Written for a user who has the program in front of them: what each window
// shows, which files the program keeps and where, and what to do when the
// module does not answer.
const char kManual[] = R"html(
<h2>Barometer and altimeter</h2>
<p>The program reads a pressure-and-temperature module on a parallel port, a
GPIO header or a USB adapter, shows the local and the sea-level pressure, the temperature, the altitude and
the weather they point to, and keeps a record of everything it measured.</p>
<p>Contents: <a href="#windows">The windows</a> &middot;
<a href="#keys">Keys</a> &middot; <a href="#dashes">What "--" means</a> &middot;
<a href="#record">The pressure record</a> &middot;
<a href="#log">The data log</a> &middot; <a href="#settings">Settings and their files</a>
&middot; <a href="#port">The port</a></p>

<h3><a name="windows"></a>The windows</h3>
<p><b>The splash window</b> searches the module when the program starts. When
it finds none it says so, with what it found at the port, and the program
runs on all the same.</p>
<p><b>The main window</b> has two pages. The barometer page shows the
sea-level pressure, the weather it points to, the pressure of the last
hours as six bars (now, 1, 2, 4, 8 and 16 hours ago) and the trend. The
altimeter page shows the altitude computed from the local pressure and the
sea-level pressure of the settings. The right column shows the local
pressure and the temperature. Each display keeps its least and greatest
value since the start, until <i>Settings &gt; Clear min/max values</i>.</p>
<p><b>The small window</b> takes the main window's place when the program is
minimised (<i>Settings &gt; Minimize</i>): the pressure and the temperature
in a little window that stays above the program's other windows. Click it to
bring the main window back. It opens where it was left.</p>
<p><b>The chart window</b> (<i>Plots &gt; View Chart</i>) plots the last hour
of pressure or altitude above the temperature. <i>Tools &gt; Setup display
range</i> fixes the scales or lets them follow the values. It also writes
the data log.</p>
<p>Both chart windows resize; their plots take the room they get (the
barograph one pixel column per stretch of time, so a wider window shows
finer detail), and they open again at the size they were given. In both,
<i>File &gt; Save picture...</i> writes the chart as PNG or SVG, <i>Copy</i>
puts it on the clipboard and <i>Print...</i> prints it on a landscape
page.</p>
<p><b>The barograph</b> (<i>Plots &gt; View Barograph</i>) reads the pressure
record like the paper of a drum barograph: the sea-level pressure of the
last 24 hours, 3, 7 or 30 days, each pixel column from the least to the
greatest value of its time, with the temperature below and the 3-hour
tendency under it. Time without a record stays empty. Point at the chart to
read the time and the values there. <i>File &gt; Export shown range...</i>
writes the minutes shown as comma-separated text.</p>
<p>The barograph's pressure scale is "Auto" or a fixed span such as 950 to
1050 mbar, chosen above the chart. "Auto" follows the values but sets aside
the highest and the lowest 0.1 % of the minutes shown where they lie far
beyond the rest, so that a minute with a wrong altitude setting does not
flatten a month of weather; values
beyond the scale are marked by a small orange arrow at its edge.</p>

<h3><a name="keys"></a>Keys</h3>
<table cellspacing="2">
<tr><td><b>F1</b></td><td>this help, in every window</td></tr>
<tr><td><b>Ctrl+Q</b></td><td>quit (after "Close application ?"), in every window</td></tr>
<tr><td><b>Ctrl+O</b>, <b>Ctrl+Shift+S</b></td><td>load settings, save settings as</td></tr>
<tr><td><b>Ctrl+D</b></td><td>detect the module again</td></tr>
<tr><td><b>Ctrl+R</b>, <b>Ctrl+B</b></td><td>the chart window, the barograph</td></tr>
<tr><td><b>Ctrl+L</b>, <b>Ctrl+M</b>, <b>Ctrl+,</b></td><td>clear the minima and maxima,
minimise to the small window, the settings</td></tr>
<tr><td><b>Ctrl+Z</b></td><td>the chart's display range</td></tr>
<tr><td><b>Ctrl+1</b>, <b>Ctrl+2</b></td><td>the chart's pressure or altitude view</td></tr>
<tr><td><b>Ctrl+L</b>, <b>Ctrl+Shift+L</b></td><td>in the chart window: begin and end the data log</td></tr>
<tr><td><b>Ctrl+S</b>, <b>Ctrl+C</b>, <b>Ctrl+P</b></td><td>in the chart windows: save,
copy and print the picture</td></tr>
<tr><td><b>Ctrl+E</b></td><td>in the barograph: export the shown range</td></tr>
<tr><td><b>Ctrl+W</b></td><td>close the chart window or the barograph</td></tr>
<tr><td><b>1</b>, <b>2</b>, <b>3</b>, <b>4</b></td><td>the barograph's 24 hours, 3, 7 and 30 days</td></tr>
<tr><td><b>Left</b>, <b>Right</b>, <b>End</b></td><td>the barograph back, forward, and to now</td></tr>
</table>
<p>The menus show the key of each item beside it.</p>

<h3><a name="dashes"></a>What "--" means</h3>
<p>A display shows <b>--</b> when there is no good reading to show: no module
was found, the module was unplugged, or a reading failed the program's
checks (its conversions disagreed, or it jumped further than the weather
can and a second reading did not confirm it). Such readings are left out of
the history, the minima and maxima, the charts, the record and the data
log; the next good reading shows as usual. In the barograph, "--" beside
the tendency says why it cannot be worked out yet, for example while the
record is shorter than three hours, or after the computer's clock was set
back, while the record holds some of its minutes twice.</p>

<h3><a name="record"></a>The pressure record</h3>
<p>Every good reading is kept in <b>barometer.db</b>, an SQLite database in
the folder the program runs in, beside setup.ini. Readings are kept for a
week, and a summary of every minute for ever. At start the program takes
back from it the hourly history and the chart's last hour, so a restart
loses nothing. The file can be read with <tt>sqlite3 barometer.db</tt>,
also while the program runs. If it cannot be written (a full disk, no
permission, a second copy of the program in the same folder), the program
says so once and goes on measuring without recording; a damaged file is
renamed aside and a new one started.</p>

<h3><a name="log"></a>The data log</h3>
<p>In the chart window, <i>File &gt; Begin data logging</i> asks for a file
(<b>samples.dat</b> by default) and writes every good reading to it, one line
each, until <i>End data logging</i>: the date and time, the two raw words
of the module, the pressure, the temperature and the altitude, separated
by semicolons. The red REC blinks at each line
written. A file that cannot be written any more (a full disk, a file moved
away) ends the logging with a message; the lines written before stay.</p>

<h3><a name="settings"></a>Settings and their files</h3>
<p><i>Settings &gt; Settings</i> opens the settings dialog: the sampling (how
many conversions are averaged and how often a reading is taken), the
altitude of the place, the weather limits and trend rates, and the
module's calibration.</p>
<p>The settings are kept in <b>setup.ini</b> in the folder the program runs
in: read at start, written on quitting while <i>File &gt; Autosave settings
on exit</i> is checked, and at any time with <i>File &gt; Save settings As
...</i>. <i>Load settings ...</i> reads another such file. The file is
plain text, one key and value a line.</p>
<p>What the program keeps beyond those settings lives in <b>barometer.ini</b> beside it, in the
same form. A missing or wrong value there gives the default.</p>

<h3><a name="port"></a>The port</h3>
<p><i>File &gt; Module port...</i> chooses where the module is wired: the
first parallel port, LPT1 (the default), a GPIO header's lines (a gpiochip,
such as a Raspberry Pi's), or an FTDI USB adapter in bit-bang mode. The
dialog lists the devices found and the lines or bits; <i>Test</i> looks for
the module there, and OK keeps the choice in <b>barometer.ini</b> and searches
again. The package's udev rule gives gpiochips and FTDI adapters to the user
at the seat and to group <tt>plugdev</tt>.</p>
<p>On LPT1 the program reaches the module through the kernel's parallel-port device <tt>/dev/parport0</tt>: load its
driver with <tt>sudo modprobe ppdev</tt>, join the group that owns it with
<tt>sudo adduser $USER lp</tt>, then log out and in again. When the device
cannot be used and the program runs with the privilege, it reads the port's
registers itself. When neither works it runs with nothing connected and
finds no module.</p>
<p><i>File &gt; Detect module on LPT1</i> (named after the chosen port) searches again, for a module
plugged in while the program runs; the settings in force stay. A module
plugged in later is also found by itself within a few seconds.</p>
<p>Without hardware, <b>barometer-sim</b> runs the same program on a
simulated module whose weather changes slowly over the hours.</p>
)html";

}  // namespace

TWhelp::TWhelp(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Barometer help");
  setFont(ArialFont(13));
  // A window of its own beside the others, never modal.
  setModal(false);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  resize(560, 600);
  setMinimumSize(320, 240);
  (new Twindow_place(this))->CentreWhenShown();

  auto* layout = new QVBoxLayout(this);
  tx_help = new QTextBrowser(this);
  tx_help->setOpenLinks(true);
  tx_help->setOpenExternalLinks(false);
  tx_help->setHtml(ManualText());
  layout->addWidget(tx_help);

  bt_close = new QPushButton("Close", this);
  bt_close->setDefault(true);
  layout->addWidget(bt_close, 0, Qt::AlignRight);
  connect(bt_close, &QPushButton::clicked, this, [this] { bt_closeClick(); });

  Program().Whelp_alive = true;
}

TWhelp::~TWhelp() {
  if (Program().Whelp == this) Program().Whelp_alive = false;
}

QString TWhelp::ManualText() {
  return QString::fromUtf8(kManual);
}

void TWhelp::ShowPart(const QString& anchor) {
  if (anchor.isEmpty())
    tx_help->moveCursor(QTextCursor::Start);
  else
    tx_help->scrollToAnchor(anchor);
  show();
  raise();
  activateWindow();
}

void TWhelp::bt_closeClick() {
  hide();
}
