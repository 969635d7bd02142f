// The real window: how it looks, and that everything the user does reaches the dialog as the
// layer's notifications, and everything the program does reaches the widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QStyleOptionFrame>
#include <QtTest>
#include "platform/qt/controlwidgets.h"

#include <QProgressDialog>
#include <QTableWidget>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/afxwin.h"
#include "platform/qt/dialogfont.h"
#include "res/resource.h"
#include "tests/qt/window_fixture.h"

namespace {

// A dialog on the main template that only writes down the messages it gets.
class ProbeDialog : public CDialog {
 public:
  ProbeDialog() : CDialog(IDD_VARNEL_DIALOG) {}

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    GetSystemMenu(FALSE)->AppendMenu(MF_SEPARATOR);
    GetSystemMenu(FALSE)->AppendMenu(MF_STRING, 0x0010, "&About Probe...");
    return TRUE;
  }

  std::vector<std::string> log;
  int states = 2;
  std::function<void()> duringChange;  // runs inside the handler of every text change

 protected:
  void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, IDC_STATE_COUNT, states, IntLimits{1, 10}); }

  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM, LRESULT*) override {
    const int id = static_cast<int>(LOWORD(wParam));
    if (message == WM_PAINT) {
      log.push_back("paint");
    } else if (message == WM_SYSCOMMAND) {
      log.push_back("syscommand " + std::to_string(wParam));
      return false;  // closing is the default handling's
    } else if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
      log.push_back("change " + std::to_string(id) + " " + FindControl(id)->text);
      if (duringChange) duringChange();
      if (id == IDC_STATE_COUNT) UpdateData(TRUE);
    } else if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
      log.push_back("click " + std::to_string(id) + " " + std::to_string(FindControl(id)->check));
    } else if (message == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE) {
      log.push_back("select " + std::to_string(id) + " " + std::to_string(FindControl(id)->curSel));
    }
    return message != WM_SYSCOMMAND;
  }
};

struct ShownProbe {
  ShownProbe() {
    AfxSetHost(&host);
    window = host.Open(dlg);
    exposed = QTest::qWaitForWindowExposed(window.get());
  }
  ~ShownProbe() {
    window.reset();
    AfxSetHost(nullptr);
  }
  template <class W = QWidget>
  W* Widget(int id) const {
    return qobject_cast<W*>(window->WidgetOf(id));
  }
  TempDir dir;
  QtHost host;
  ProbeDialog dlg;
  std::unique_ptr<DialogWindow> window;
  bool exposed = false;
};

QRect TemplateRect(const ControlTemplate& t) {
  const CRect r = t.PixelRect();
  return {r.left, r.top, r.Width(), r.Height()};
}

// The rectangle, in window coordinates, that a widget's caption takes when drawn.
QRect CaptionBox(const QWidget& widget, const QString& caption) {
  const QFontMetrics metrics(widget.font());
  const QString text = QString(caption).remove(QLatin1Char('&'));
  const int width = metrics.horizontalAdvance(text), height = metrics.height();
  const QRect r = widget.geometry();
  if (qobject_cast<const QPushButton*>(&widget))
    return {r.center().x() - width / 2, r.center().y() - height / 2, width, height};
  if (qobject_cast<const QCheckBox*>(&widget)) {
    const int indicator = widget.style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                          widget.style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    return {r.left() + indicator, r.center().y() - height / 2, width, height};
  }
  if (qobject_cast<const GroupFrame*>(&widget)) return {r.left() + 8, r.top(), width, height};
  // A turned label's text runs down its middle; a centred one's along its top.
  if (qobject_cast<const VerticalLabel*>(&widget))
    return {r.center().x() - height / 2, r.center().y() - width / 2, height, width};
  if (const auto* label = qobject_cast<const QLabel*>(&widget); label && (label->alignment() & Qt::AlignHCenter))
    return {r.center().x() - width / 2, r.top(), width, height};
  return {r.left(), r.top(), width, height};
}

// Pixels of `shot` in `rect` against the same pixels of a surface placed at `at`.
int Mismatches(const QImage& shot, const QRect& rect, const PixelSurface& surface, QPoint at) {
  int wrong = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x)
      if ((shot.pixel(x, y) & 0xFFFFFFu) != (surface.At(x - at.x(), y - at.y()) & 0xFFFFFFu)) ++wrong;
  return wrong;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWithTheStartValuesShownByTheFirstPaint();
  void showsEveryControlAtItsTemplateRectangleWithItsCaptionInFull();
  void paintsTheMapAndThePanelPixelForPixel();
  void typingSendsOneChangePerKeystroke();
  void checkBoxesAndListsNotifyOnlyForTheUser();
  void exposuresPaintButNeverInsideAHandler();
  void programChangesReachTheWidgetsWithoutEcho();
  void aResultEditGrowsToShowItsValueWholeWhereItsLineHasRoom();
  void theColourBarsLabelsStandALineClearOfTheMapsCornerLabels();
  void badTextTintsTheEditUntilItIsTakenAgain();
  void theCloseBoxEndsTheDialogButEnterAndEscapeDoNot();
  void theAboutBoxOpensFromF1AndTheBackgroundMenu();
  void theFileDialogIsAskedForDatFilesAndCancelLoadsNothing();
  void aLoadShowsTheNewMapInTheWindow();
  void theRealFileDialogOffersDatFilesFromTheWorkingDirectory();
  void aLongOperationShowsTheBusyCursor();
  void messagesAndTheFatalReportAreModalBoxes();
  void aFitsIntervalFollowsIntoTheTipAndTheOpenResults();
  void longWorkLetsTheWindowPaintButNoInputThrough();
};

void WindowTest::startsWithTheStartValuesShownByTheFirstPaint() {
  ShownDialog shown;
  QVERIFY(shown.exposed);
  QCOMPARE(shown.window->windowTitle(), QStringLiteral("Varnel"));
  // The client keeps the dialog's size; the menu bar is across the top, above it.
  QCOMPARE(shown.window->Client()->size(), QSize(721, 654));
  QVERIFY(shown.window->MenuBar());
  const int bar = shown.window->MenuBar()->height();
  QVERIFY(bar > 0);
  QCOMPARE(shown.window->MenuBar()->geometry(), QRect(0, 0, 721, bar));
  QCOMPARE(shown.window->Client()->pos(), QPoint(0, bar));
  QCOMPARE(shown.window->size(), QSize(721, 654 + bar));
  QCOMPARE(shown.window->minimumSize(), shown.window->maximumSize());
  QStringList menus;
  for (QAction* menu : shown.window->MenuBar()->actions()) menus << menu->text();
  QCOMPARE(menus, (QStringList{"&File", "&Analysis", "&Help"}));
  QCOMPARE(shown.Widget<QLineEdit>(IDC_EXPOSURE_TIME)->text(), QStringLiteral("0.1"));
  QCOMPARE(shown.Widget<QLineEdit>(IDC_PEAKS_IN_REPORT)->text(), QStringLiteral("10"));
  QVERIFY(shown.Widget<QCheckBox>(IDC_WEIGHT_BY_COUNT)->isChecked());
  QVERIFY(!shown.Widget<QCheckBox>(IDC_USE_CIRCLES)->isChecked());
  auto* list = shown.Widget<QComboBox>(IDC_CUTOFF_LIST);
  QCOMPARE(list->count(), 1);
  QCOMPARE(list->currentText(), QStringLiteral("Null"));
}

void WindowTest::showsEveryControlAtItsTemplateRectangleWithItsCaptionInFull() {
  ShownDialog shown;
  const auto& controls = shown.dlg.Controls();
  std::vector<QRect> captions;
  for (const Control& control : controls) {
    const ControlTemplate& t = *control.tmpl;
    QWidget* widget = shown.window->WidgetOf(control);
    QVERIFY(widget);
    const QRect want = TemplateRect(t);
    if (t.kind == ControlKind::ComboBox) {
      // Closed, the list is one line high; it opens downwards within the template's height.
      QCOMPARE(widget->geometry().topLeft(), want.topLeft());
      QCOMPARE(widget->width(), want.width());
      QVERIFY(widget->height() >= widget->fontMetrics().height() && widget->height() <= want.height());
    } else {
      QCOMPARE(widget->geometry(), want);
    }
    const bool disabled = (t.style & kStyleDisabled) != 0;
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
      QVERIFY(edit->isEnabled() && edit->isReadOnly() == disabled);  // an edit that shows a value
    else
      QCOMPARE(widget->isEnabled(), !disabled);
    if (t.caption.empty()) continue;
    // The caption, in full and on one line, inside its control.
    const QRect box = CaptionBox(*widget, QString::fromUtf8(t.caption.data(), static_cast<int>(t.caption.size())));
    const QRect room = t.kind == ControlKind::GroupBox ? widget->geometry() : want;
    QVERIFY2(room.contains(box), t.caption.data());
    captions.push_back(box);
  }
  // No two captions share a pixel.
  for (std::size_t a = 0; a < captions.size(); ++a)
    for (std::size_t b = a + 1; b < captions.size(); ++b) QVERIFY(!captions[a].intersects(captions[b]));
  // An edit that only shows a result is read in the ink of the others, on the window's face
  // where an input has the ground of an edit.
  auto* result = shown.Widget<QLineEdit>(IDC_KINETIC_RATE);
  auto* input = shown.Widget<QLineEdit>(IDC_EXPOSURE_TIME);
  QCOMPARE(result->palette().color(QPalette::Active, QPalette::Text),
           input->palette().color(QPalette::Active, QPalette::Text));
  QVERIFY(result->palette().color(QPalette::Base) != input->palette().color(QPalette::Base));
}

void WindowTest::paintsTheMapAndThePanelPixelForPixel() {
  ShownDialog shown;
  // The whole window, menu bar and all: the client's pixels are where the client is.
  const QImage shot = shown.window->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QPoint client = shown.window->Client()->pos();
  // The map: client pixels (1, 1) to (402, 402), exactly the client surface.
  QCOMPARE(Mismatches(shot, QRect(1, 1, 402, 402).translated(client), shown.dlg.ClientSurface(), client), 0);
  // The start-up image is a blue spot: its centre cell is blue 100.
  QCOMPARE(shot.pixel(QPoint(1 + 2 * 100, 1 + 2 * 100) + client) & 0xFFFFFFu, 100u);
  // The panel: its bitmap at the picture control's top-left corner.
  const QRect panel = TemplateRect(*shown.dlg.FindControl(IDC_HIST_PANEL)->tmpl).translated(client);
  const CBitmap* bitmap = shown.dlg.FindControl(IDC_HIST_PANEL)->bitmap;
  QVERIFY(bitmap);
  QCOMPARE(panel.size(), QSize(400, 200));
  QCOMPARE(Mismatches(shot, panel, bitmap->Surface(), panel.topLeft()), 0);
}

void WindowTest::typingSendsOneChangePerKeystroke() {
  ShownProbe probe;
  QVERIFY(probe.exposed);
  QCOMPARE(probe.dlg.log.front(), "paint");
  probe.dlg.log.clear();
  auto* edit = probe.Widget<QLineEdit>(IDC_STATE_COUNT);
  edit->selectAll();
  QTest::keyClicks(edit, "10");
  QTest::keyClick(edit, Qt::Key_Backspace);
  const std::vector<std::string> want = {"change 1016 1", "change 1016 10", "change 1016 1"};
  QCOMPARE(probe.dlg.log, want);
  QCOMPARE(probe.dlg.states, 1);
  QCOMPARE(probe.dlg.FindControl(IDC_STATE_COUNT)->text, "1");
}

void WindowTest::checkBoxesAndListsNotifyOnlyForTheUser() {
  ShownProbe probe;
  probe.dlg.log.clear();
  auto* box = probe.Widget<QCheckBox>(IDC_USE_CIRCLES);
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
  // Toggled first, then notified; the widget shows what the layer holds.
  QCOMPARE(probe.dlg.log, std::vector<std::string>{"click 1026 1"});
  QVERIFY(box->isChecked());

  CComboBox list;
  list.Attach(&probe.dlg, probe.dlg.FindControl(IDC_CUTOFF_LIST));
  list.InsertString(0, "Null");
  list.InsertString(1, "0.5");
  list.InsertString(2, "1");
  list.SetCurSel(1);
  auto* combo = probe.Widget<QComboBox>(IDC_CUTOFF_LIST);
  QCOMPARE(combo->count(), 3);
  QCOMPARE(combo->currentIndex(), 1);
  QCOMPARE(probe.dlg.log.size(), 1u);  // the program's selection sent nothing
  QTest::keyClick(combo, Qt::Key_Down);
  QCOMPARE(probe.dlg.log.back(), "select 1012 2");
  QCOMPARE(list.GetCurSel(), 2);
}

void WindowTest::exposuresPaintButNeverInsideAHandler() {
  ShownProbe probe;
  probe.dlg.log.clear();
  probe.window->hide();
  QApplication::processEvents();
  probe.window->show();
  QApplication::processEvents();
  QCOMPARE(probe.dlg.log, std::vector<std::string>{"paint"});

  // The window is uncovered while a handler runs: the paint comes after the handler.
  probe.dlg.log.clear();
  probe.dlg.duringChange = [&] { probe.host.Exposed(*probe.window); };
  auto* edit = probe.Widget<QLineEdit>(IDC_EXPOSURE_TIME);
  QTest::keyClicks(edit, "5");
  QCOMPARE(probe.dlg.log, (std::vector<std::string>{"change 1006 5", "paint"}));
  QCOMPARE(probe.host.Record()->Lines(), (std::vector<std::string>{"type IDC_EXPOSURE_TIME 5", "paint"}));
}

void WindowTest::programChangesReachTheWidgetsWithoutEcho() {
  ShownProbe probe;
  probe.dlg.log.clear();
  probe.dlg.states = 7;
  probe.dlg.UpdateData(FALSE);
  QCOMPARE(probe.Widget<QLineEdit>(IDC_STATE_COUNT)->text(), QStringLiteral("7"));
  Control& box = *probe.dlg.FindControl(IDC_WEIGHT_BY_COUNT);
  probe.dlg.SetControlCheck(box, 1);
  QVERIFY(probe.Widget<QCheckBox>(IDC_WEIGHT_BY_COUNT)->isChecked());
  box.enabled = false;
  probe.dlg.ControlStateChanged(box);
  QVERIFY(!probe.Widget(IDC_WEIGHT_BY_COUNT)->isEnabled());
  QVERIFY(probe.dlg.log.empty());
}

void WindowTest::aResultEditGrowsToShowItsValueWholeWhereItsLineHasRoom() {
  ShownProbe probe;
  auto* edit = probe.Widget<QLineEdit>(IDC_KINETIC_RATE);
  const QRect base = edit->geometry();
  QWidget* group = nullptr;
  for (QWidget* frame : probe.window->findChildren<GroupFrame*>())
    if (frame->geometry().contains(base)) group = frame;
  QVERIFY(group);
  const QRect frame = group->geometry();
  // The longest values %.15g writes fit: the edit takes its line's room, its frame moves along.
  Control& rate = *probe.dlg.FindControl(IDC_KINETIC_RATE);
  for (const char* value : {"0.0957205743703828", "-9.57205743703828e-05"}) {
    probe.dlg.SetControlText(rate, value);
    const QRect grown = edit->geometry();
    const QStyleOptionFrame frameOption = [&] {
      QStyleOptionFrame option;
      option.initFrom(edit);
      return option;
    }();
    const QRect textRoom = edit->style()->subElementRect(QStyle::SE_LineEditContents, &frameOption, edit);
    QVERIFY2(edit->fontMetrics().horizontalAdvance(QString::fromLatin1(value)) < textRoom.width(), value);
    QVERIFY(edit->toolTip().isEmpty());
    QVERIFY(grown.width() > base.width() && grown.right() < probe.window->width());
    QVERIFY(group->geometry().contains(grown) && group->geometry().right() < probe.window->width());
    // ... and clear of every caption of its line.
    for (QLabel* label : probe.window->findChildren<QLabel*>()) {
      const QRect text(label->geometry().topLeft(),
                       QSize(label->fontMetrics().horizontalAdvance(label->text()), label->height()));
      if (label->isVisible() && !(label->alignment() & Qt::AlignHCenter)) QVERIFY(!text.intersects(grown));
    }
  }
  // A value no line could hold is read in full from the tooltip; a short one is back in place.
  probe.dlg.SetControlText(rate, std::string(60, '7'));
  QCOMPARE(edit->toolTip(), QString(60, QLatin1Char('7')));
  probe.dlg.SetControlText(rate, "0.5");
  QVERIFY(edit->toolTip().isEmpty());
  QCOMPARE(edit->geometry(), base);
  QCOMPARE(group->geometry(), frame);
}

void WindowTest::theColourBarsLabelsStandALineClearOfTheMapsCornerLabels() {
  ShownDialog shown;
  QLabel *high = nullptr, *low = nullptr, *top = nullptr, *bottom = nullptr;
  for (QLabel* label : shown.window->findChildren<QLabel*>()) {
    const QRect r = label->geometry();
    if (label->text() == "high") high = label;
    if (label->text() == "low") low = label;
    if (label->text() == "0.0" && r.left() >= kMapRegion.right) top = label;
    if (label->text() == "1.0" && r.top() < kMapRegion.bottom) bottom = label;
  }
  QVERIFY(high && low && top && bottom);
  const int line = high->fontMetrics().height();
  const CRect& bar = kColourBarRegion;
  // Each word at its end of the bar, and a line of space between it and the map's value.
  QVERIFY(high->y() + line <= bar.top && bar.top - (high->y() + line) < line / 2);
  QVERIFY(low->y() >= bar.bottom && low->y() - bar.bottom < line / 2);
  QVERIFY(high->y() - (top->y() + line) >= line / 2);
  QVERIFY(bottom->y() - (low->y() + line) >= line / 2);
}

void WindowTest::badTextTintsTheEditUntilItIsTakenAgain() {
  ShownProbe probe;
  auto* edit = probe.Widget<QLineEdit>(IDC_STATE_COUNT);
  const QColor normal = edit->palette().color(QPalette::Base);
  edit->selectAll();
  QTest::keyClicks(edit, "12");  // 1 is taken, 12 is not
  QCOMPARE(probe.dlg.states, 1);
  QCOMPARE(edit->toolTip(), QStringLiteral("Please enter an integer between 1 and 10."));
  QVERIFY(edit->palette().color(QPalette::Base) != normal);
  QTest::keyClick(edit, Qt::Key_Backspace);
  QCOMPARE(probe.dlg.states, 1);
  QVERIFY(edit->toolTip().isEmpty());
  QCOMPARE(edit->palette().color(QPalette::Base), normal);
}

void WindowTest::theCloseBoxEndsTheDialogButEnterAndEscapeDoNot() {
  {
    ShownProbe probe;
    auto* edit = probe.Widget<QLineEdit>(IDC_EXPOSURE_TIME);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(edit, Qt::Key_Escape);
    QTest::keyClick(probe.window.get(), Qt::Key_Escape);
    QVERIFY(!probe.dlg.HasEnded());
    QVERIFY(probe.window->isVisible());
  }
  {
    ShownProbe probe;
    probe.window->close();
    QVERIFY(probe.dlg.HasEnded());
    QCOMPARE(probe.dlg.Result(), INT_PTR{IDCANCEL});
    QVERIFY(!probe.window->isVisible());
    QCOMPARE(probe.dlg.log.back(), "syscommand " + std::to_string(SC_CLOSE));
  }
}

void WindowTest::theAboutBoxOpensFromF1AndTheBackgroundMenu() {
  ShownDialog shown;
  QStringList seen;
  // The box is modal: look at it, then press its OK, from inside its own loop.
  const auto inspectAndClose = [&] {
    QWidget* box = QApplication::activeModalWidget();
    QVERIFY(box && box != shown.window.get());
    seen << box->windowTitle();
    const auto labels = box->findChildren<QLabel*>();
    QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* l) { return l->text() == "Varnel Version " VARNEL_VERSION; }));
    QCOMPARE(box->findChildren<IconWidget*>().size(), 1);
    auto* ok = box->findChild<QPushButton*>();
    QVERIFY(ok && ok->text() == "OK");
    QTest::mouseClick(ok, Qt::LeftButton);
  };

  QTimer::singleShot(0, inspectAndClose);
  QTest::keyClick(shown.Widget(IDC_EXPOSURE_TIME), Qt::Key_F1);
  QCOMPARE(seen, QStringList{"About Varnel"});

  QMenu* menu = shown.window->SystemMenu();
  const auto actions = menu->actions();
  const auto about =
      std::find_if(actions.begin(), actions.end(), [](QAction* a) { return a->text() == "&About Varnel..."; });
  QVERIFY(about != actions.end());
  QTimer::singleShot(0, inspectAndClose);
  (*about)->trigger();
  QCOMPARE(seen.size(), 2);
  QVERIFY(!shown.dlg.HasEnded());
  QCOMPARE(shown.host.Record()->Lines(), (std::vector<std::string>{"about", "about"}));
}

void WindowTest::theFileDialogIsAskedForDatFilesAndCancelLoadsNothing() {
  ShownDialog shown;
  const auto before = shown.dlg.ClientSurface().Pixels();
  shown.Click(IDC_LOAD_FILES);
  QCOMPARE(shown.fileRequests.size(), 1u);
  const FileDialogRequest& request = shown.fileRequests.front();
  QVERIFY(request.open && request.multiSelect);
  QVERIFY(request.initialDir.empty());  // the dialog starts in the working directory
  QCOMPARE(request.filters.size(), 1u);
  QCOMPARE(request.filters.front().first, "DAT Files (*.dat)");
  QCOMPARE(request.filters.front().second, "*.dat");
  QVERIFY(shown.dlg.ClientSurface().Pixels() == before);
  QCOMPARE(shown.host.Record()->Lines(), (std::vector<std::string>{"files", "click IDC_LOAD_FILES"}));
}

void WindowTest::aLoadShowsTheNewMapInTheWindow() {
  ShownDialog shown;
  shown.Type(IDC_PEAKS_IN_REPORT, "3");
  shown.fileAnswer = WriteReports(shown.dir.path(), 2);
  const auto before = shown.dlg.ClientSurface().Pixels();
  shown.Click(IDC_LOAD_FILES);
  QVERIFY(shown.messages.empty());
  QVERIFY(shown.dlg.ClientSurface().Pixels() != before);
  const QImage shot = shown.window->Client()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(Mismatches(shot, QRect(1, 1, 402, 402), shown.dlg.ClientSurface(), {0, 0}), 0);
  QVERIFY(std::filesystem::exists(shown.dir.path() / "3dgrid.dat"));
  // The title says what was loaded: 2 reports of 3 x 3 records.
  QVERIFY(shown.window->windowTitle().startsWith(QStringLiteral("Varnel - 2 reports, ")));
  QCOMPARE(shown.window->windowTitle(), QString::fromStdString(shown.dlg.GetWindowText()));
}

void WindowTest::theRealFileDialogOffersDatFilesFromTheWorkingDirectory() {
  TempDir dir;
  const auto reports = WriteReports(dir.path(), 2);
  QtHost host;
  FileDialogRequest request;
  request.multiSelect = true;
  // A description that names its patterns shows them once.
  request.filters = {{"DAT Files (*.dat)", "*.dat"},
                     {"Idealised traces (*.txt;*.csv)", "*.txt;*.csv"},
                     {"All Files", "*"}};
  QStringList filters;
  QString shownDir;
  const auto answer = [&](bool choose) {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    filters = dialog->nameFilters();
    shownDir = dialog->directory().absolutePath();
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
    if (!choose) return dialog->reject();
    dialog->selectFile(QStringLiteral("\"report2.dat\" \"report1.dat\""));
    QMetaObject::invokeMethod(dialog, "accept");
  };
  QTimer::singleShot(0, [&] { answer(false); });
  QVERIFY(!host.ChooseFiles(request));
  QCOMPARE(filters, (QStringList{"DAT Files (*.dat)", "Idealised traces (*.txt *.csv)", "All Files (*)"}));
  QCOMPARE(shownDir, QString::fromStdString(std::filesystem::canonical(dir.path()).string()));

  QTimer::singleShot(0, [&] { answer(true); });
  const auto chosen = host.ChooseFiles(request);
  QVERIFY(chosen);
  QCOMPARE(*chosen, (std::vector<std::string>{reports[1], reports[0]}));
}

void WindowTest::aLongOperationShowsTheBusyCursor() {
  QtHost host;
  QVERIFY(!QApplication::overrideCursor());
  host.SetBusy(true);
  host.SetBusy(true);  // a rebuild inside a load
  QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  // A message during the operation is read with the normal pointer.
  Qt::CursorShape duringMessage = Qt::WaitCursor;
  QTimer::singleShot(0, [&] {
    duringMessage = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor;
    QApplication::activeModalWidget()->close();
  });
  host.ShowMessage("3 of the files had fewer records than expected.", MessageKind::Error);
  QCOMPARE(duringMessage, Qt::ArrowCursor);
  QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  host.SetBusy(false);
  QVERIFY(QApplication::overrideCursor());
  host.SetBusy(false);
  QVERIFY(!QApplication::overrideCursor());
}

void WindowTest::messagesAndTheFatalReportAreModalBoxes() {
  QtHost host;
  QStringList shown;
  const auto readAndClose = [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box);
    shown << box->text();
    box->accept();
  };
  AfxSetHost(&host);
  QTimer::singleShot(0, readAndClose);
  AfxMessageBox("Lock cutoffs first.");
  AfxSetHost(nullptr);
  QTimer::singleShot(0, readAndClose);
  host.ShowFatalReport("first line\nsecond line\nthird line");
  QCOMPARE(shown, (QStringList{"Lock cutoffs first.", "first line\nsecond line\nthird line"}));
}

void WindowTest::aFitsIntervalFollowsIntoTheTipAndTheOpenResults() {
  ShownDialog shown;
  QVERIFY(shown.exposed);
  shown.Type(IDC_PEAKS_IN_REPORT, "3");
  shown.fileAnswer = WriteReports(shown.dir.path(), 12);
  shown.Click(IDC_LOAD_FILES);
  const QString loaded = shown.window->windowTitle();
  shown.Type(IDC_STATE_COUNT, "3");
  shown.Click(IDC_LOCK_CUTOFFS);
  shown.Click(IDC_PICK_NEXT);  // 1->2
  shown.Click(IDC_FIT_GAUSSIAN);
  QVERIFY2(shown.messages.empty(), shown.messages.empty() ? "" : shown.messages.front().c_str());
  // The rate is there at once; the results, asked for now, show the interval as it stands.
  QVERIFY(shown.Widget<QLineEdit>(IDC_KINETIC_RATE)->text() != QStringLiteral("0"));
  const QString computing = shown.window->windowTitle();
  if (computing != loaded)
    QVERIFY2(computing.startsWith(loaded + QStringLiteral(" - computing the interval of 1->2 (")) &&
                 computing.endsWith(QStringLiteral(" of 1,000 replicates)")),
             qPrintable(computing));
  shown.MenuEntry("&Results...")->trigger();
  QTableWidget* cells = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->windowTitle() == QStringLiteral("Results")) cells = top->findChild<QTableWidget*>();
  QVERIFY(cells);
  QCOMPARE(cells->rowCount(), 1);
  // Once the interval is in, the title is the load's again and the tip and the table have it.
  QTRY_COMPARE_WITH_TIMEOUT(shown.window->windowTitle(), loaded, 20000);
  QTRY_VERIFY(cells->item(0, 2)->text() != QStringLiteral("computing..."));
  QVERIFY(!cells->item(0, 2)->text().isEmpty());
  QVERIFY(shown.Widget<QLineEdit>(IDC_KINETIC_RATE)->toolTip().startsWith(QStringLiteral("95 % interval ")));
  QVERIFY(!shown.Widget<QLineEdit>(IDC_KINETIC_RATE)->toolTip().contains(QStringLiteral("computing")));
  cells->window()->close();
}

void WindowTest::longWorkLetsTheWindowPaintButNoInputThrough() {
  ShownProbe probe;
  QVERIFY(probe.exposed);
  const auto clicks = [&] {
    return std::count_if(probe.dlg.log.begin(), probe.dlg.log.end(),
                         [](const std::string& line) { return line.rfind("click", 0) == 0; });
  };
  std::atomic<bool> stopAsked{false};
  LongWork work;
  work.what = "Waiting";
  work.run = [&] {
    while (!stopAsked) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  };
  work.share = [] { return std::optional<double>(0.5); };
  work.stop = [&] { stopAsked = true; };
  QProgressDialog* progress = nullptr;
  bool clickedThrough = true;
  // A click on the window is swallowed; the progress comes up and its Stop ends the work.
  QTimer::singleShot(100, [&] {
    QTest::mouseClick(probe.Widget(IDC_LOCK_CUTOFFS), Qt::LeftButton);
    clickedThrough = clicks() > 0;
  });
  QTimer::singleShot(1500, [&] {
    progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
    if (progress) QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    else stopAsked = true;
  });
  probe.host.RunLongWork(work);
  QVERIFY(stopAsked);
  QVERIFY(!clickedThrough);
  QVERIFY(progress);
  QCOMPARE(clicks(), 0);
}

#include "window_test.moc"

int RunWindowTests(int argc, char** argv) {
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}
