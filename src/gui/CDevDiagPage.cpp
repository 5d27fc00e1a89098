#include "gui/CDevDiagPage.h"

#include <QApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "client/DiskArray.h"
#include "coresys/common/PollMsg.h"
#include "gui/ArrayComponents.h"
#include "gui/CDevStatusPage.h"
#include "gui/ControllerLog.h"
#include "gui/DiskTests.h"
#include "gui/Messages.h"
#include "platform/Clock.h"

namespace oru {
namespace {

constexpr int kTestTimerMs = 1000;
// Tab stops of the Test Disk information box (100 dialog units).
constexpr int kInformationTabStop = 150;
constexpr std::uint32_t kBufferReply = 9;

QPushButton* Button(TextId text, QWidget* parent) {
    return new QPushButton(QText(text), parent);
}

TextId TestTypeText(int type) {
    switch (type) {
        case kTestNone:
            return txt::kNoneWord;
        case kTestVerify:
            return txt::kTestReadVerify;
        case kTestWriteRead:
            return txt::kTestWriteRead;
        default:
            return txt::kUnknown;
    }
}

TextId TestStateText(int state) {
    switch (state) {
        case kTestStateInitFailed:
            return txt::kTestInitFailed;
        case kTestStateFailed:
            return txt::kFailed;
        case kTestStatePassed:
            return txt::kTestPassed;
        case kTestStateInProgress:
            return txt::kTestInProgress;
        case kTestStateCancelled:
            return txt::kTestCancelled;
        default:
            return txt::kUnknown;
    }
}

}  // namespace

// --- Enter Percent to Test ---

CPercentDlg::CPercentDlg(const QString& warning, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QText(txt::kPercentTitle));
    auto* text = new QLabel(warning, this);
    text->setWordWrap(true);
    edit_ = new QLineEdit(QStringLiteral("1"), this);
    auto* label = new QLabel(QText(txt::kPercentLabel), this);
    label->setBuddy(edit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edit_);
    layout->addLayout(row);
    layout->addWidget(DialogButtons(this));
    QApplication::beep();
}

void CPercentDlg::accept() {
    bool number = false;
    const int percent = edit_->text().trimmed().toInt(&number);
    // A test of 0 percent tests nothing; the service takes 1 to 100.
    if (!number || percent < 1 || percent > 100) {
        ShowMessage(this, QText(txt::kEnterValidPercent), QMessageBox::Warning);
        return;
    }
    percent_ = static_cast<std::uint32_t>(percent);
    QDialog::accept();
}

// --- Down Disk Warning ---

CDownDiskDlg::CDownDiskDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QText(txt::kDownDiskTitle));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QText(txt::kDownDiskPrompt), this));
    const TextId texts[] = {txt::kDownNoLoss, txt::kDownRedundancy, txt::kDownAll};
    for (int i = 0; i < 3; ++i) {
        options_[i] = new QRadioButton(QText(texts[i]), this);
        layout->addWidget(options_[i]);
    }
    options_[DT_ALLOW_REDUNDANCY]->setChecked(true);
    layout->addWidget(DialogButtons(this));
}

DOWN_TYPE CDownDiskDlg::Choice() const {
    for (int i = 0; i < 3; ++i) {
        if (options_[i]->isChecked()) {
            return static_cast<DOWN_TYPE>(i);
        }
    }
    return DT_ALLOW_REDUNDANCY;
}

// --- Test Disk ---

CTestDiskDlg::CTestDiskDlg(ArrayCommands& commands, std::uint32_t disk, QWidget* parent)
    : QDialog(parent), commands_(commands), disk_(disk) {
    setWindowTitle(QText(txt::kTestDiskTitle, ComponentName(ComponentKind::kDisk, disk).c_str()));
    information_ = new QPlainTextEdit(this);
    information_->setReadOnly(true);
    information_->setTabStopDistance(kInformationTabStop);
    type_ = new QLabel(this);
    status_ = new QLabel(this);
    failure_ = new QLabel(this);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    auto* verify = Button(txt::kTestReadVerifyButton, this);
    auto* writeRead = Button(txt::kTestWriteReadButton, this);
    auto* abort = Button(txt::kTestAbort, this);
    auto* close = Button(txt::kClose, this);
    auto* form = new QFormLayout;
    form->addRow(QText(txt::kTestType), type_);
    form->addRow(QText(txt::kTestStatus), status_);
    form->addRow(QString(), failure_);
    form->addRow(progress_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {verify, writeRead, abort}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(information_, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(420, 320);
    connect(verify, &QPushButton::clicked, this, &CTestDiskDlg::OnReadVerify);
    connect(writeRead, &QPushButton::clicked, this, &CTestDiskDlg::OnWriteRead);
    connect(abort, &QPushButton::clicked, this, &CTestDiskDlg::OnAbort);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    timer_.setInterval(static_cast<int>(platform::ScaledMs(kTestTimerMs)));
    connect(&timer_, &QTimer::timeout, this, &CTestDiskDlg::Update);
    timer_.start();
    Update();
}

void CTestDiskDlg::Update() {
    QString text;
    for (const DetailLine& line :
         ComponentDetails(commands_.State(), ComponentKind::kDisk, disk_)) {
        text += QString::fromStdString(line.label + ":\t" + line.value + "\n");
    }
    if (information_->toPlainText() != text) {
        information_->setPlainText(text);
    }
    const DiskTestRecord record = ReadDiskTest(commands_.Server(), disk_);
    type_->setText(QText(TestTypeText(record.type)));
    status_->setText(record.found ? QText(TestStateText(record.state)) : QString());
    failure_->setText(
        record.found && record.failedChunks != 0
            ? QText(txt::kTestFailedChunks, record.failedChunks, record.firstFailedBlock)
            : QString());
    progress_->setValue(static_cast<int>(record.percent));
}

std::uint32_t CTestDiskDlg::AskPercent(TextId warning) {
    CPercentDlg dialog(QText(warning), this);
    return dialog.exec() == QDialog::Accepted ? dialog.Percent() : 0;
}

void CTestDiskDlg::OnReadVerify() {
    if (!MayTest(commands_.State(), commands_.Server(), disk_)) {
        commands_.Message(txt::kCannotTestNow);
        return;
    }
    const std::uint32_t percent = AskPercent(txt::kWarnVerify);
    if (percent != 0) {
        WaitCursor cursor;
        commands_.Run(commands_.Array().VerifyPhysicalDrive(disk_, percent), txt::kErrStartTest);
    }
    Update();
}

void CTestDiskDlg::OnWriteRead() {
    if (!MayTest(commands_.State(), commands_.Server(), disk_)) {
        commands_.Message(txt::kCannotTestNow);
        return;
    }
    if (EvaluateComponent(commands_.State(), ComponentKind::kDisk, disk_).value != DS_NOT_IN_USE) {
        commands_.Message(txt::kDownBeforeWriteRead);
        return;
    }
    const std::uint32_t percent = AskPercent(txt::kWarnWriteRead);
    if (percent != 0) {
        WaitCursor cursor;
        commands_.Run(commands_.Array().TestPhysicalDrive(disk_, percent), txt::kErrStartTest);
    }
    Update();
}

void CTestDiskDlg::OnAbort() {
    const std::optional<CommandHandle> running = RunningTest(commands_.Server(), disk_);
    if (running.has_value()) {
        WaitCursor cursor;
        commands_.Await(commands_.Array().Cancel_Command(*running));
    }
    Update();
}

// --- the controller's event log ---

CControllerLogDlg::CControllerLogDlg(const std::vector<std::string>& lines, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QText(txt::kControllerLogTitle));
    list_ = new QListWidget(this);
    if (lines.empty()) {
        list_->addItem(QText(txt::kControllerLogEmpty));
    }
    for (const std::string& line : lines) {
        list_->addItem(QString::fromStdString(line));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(DialogButtons(this, false));
    resize(640, 360);
}

// --- the page ---

CDevDiagPage::CDevDiagPage(CDevPropSheet& sheet) : CSheetPage(sheet) {
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    // The disks at (5, 16).
    picture_ = new CPictureView(
        QSize(DiskLayout::kWidth, DiskLayout::kHeight), QPoint(5, 16),
        [this](QPainter& painter, const QPoint& origin) {
            DiskPicture::Paint(painter, framed_, origin);
        },
        this);

    auto* disks = new QGroupBox(QText(txt::kGroupDisks), this);
    auto* diskButtons = new QVBoxLayout(disks);
    auto* include = Button(txt::kDiskInclude, disks);
    auto* down = Button(txt::kDiskDown, disks);
    auto* test = Button(txt::kDiskTest, disks);
    for (QPushButton* button : {include, down, test}) {
        diskButtons->addWidget(button);
    }
    auto* array = new QGroupBox(QText(txt::kGroupArray), this);
    auto* arrayButtons = new QVBoxLayout(array);
    auto* shutdown = Button(txt::kArrayShutdown, array);
    auto* restart = Button(txt::kArrayRestart, array);
    auto* reset = Button(txt::kArrayReset, array);
    auto* format = Button(txt::kArrayFormat, array);
    for (QPushButton* button : {shutdown, restart, reset, format}) {
        arrayButtons->addWidget(button);
    }
    auto* controllers = new QGroupBox(QText(txt::kGroupControllers), this);
    auto* controllerButtons = new QVBoxLayout(controllers);
    auto* toY = Button(txt::kSwitchToY, controllers);
    auto* toX = Button(txt::kSwitchToX, controllers);
    controllerButtons->addWidget(toY);
    controllerButtons->addWidget(toX);
    auto* logs = new QGroupBox(QText(txt::kGroupLogs), this);
    auto* logButtons = new QVBoxLayout(logs);
    auto* logRestart = Button(txt::kLogRestart, logs);
    auto* logView = Button(txt::kLogView, logs);
    auto* logClear = Button(txt::kLogClear, logs);
    for (QPushButton* button : {logRestart, logView, logClear}) {
        logButtons->addWidget(button);
    }

    auto* left = new QHBoxLayout;
    left->addWidget(picture_, 0, Qt::AlignTop);
    left->addWidget(tree_, 1);
    auto* groups = new QGridLayout;
    groups->addWidget(disks, 0, 0);
    groups->addWidget(array, 0, 1);
    groups->addWidget(controllers, 1, 0);
    groups->addWidget(logs, 1, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(groups);

    connect(include, &QPushButton::clicked, this, &CDevDiagPage::OnInclude);
    connect(down, &QPushButton::clicked, this, &CDevDiagPage::OnDown);
    connect(test, &QPushButton::clicked, this, &CDevDiagPage::OnTest);
    connect(shutdown, &QPushButton::clicked, this, &CDevDiagPage::OnShutdown);
    connect(restart, &QPushButton::clicked, this, &CDevDiagPage::OnRestart);
    connect(reset, &QPushButton::clicked, this, &CDevDiagPage::OnReset);
    connect(format, &QPushButton::clicked, this, &CDevDiagPage::OnFormat);
    connect(toY, &QPushButton::clicked, this, [this] { OnSwitch(1); });
    connect(toX, &QPushButton::clicked, this, [this] { OnSwitch(0); });
    connect(logRestart, &QPushButton::clicked, this, &CDevDiagPage::OnLogRestart);
    connect(logView, &QPushButton::clicked, this, &CDevDiagPage::OnLogView);
    connect(logClear, &QPushButton::clicked, this, &CDevDiagPage::OnLogClear);
    connect(picture_, &CPictureView::pictureClicked, this, &CDevDiagPage::OnPictureClicked);
    Refresh();
}

void CDevDiagPage::Refresh() {
    const DiskArrayState& state = Commands().State();
    tree_->clear();
    std::vector<FramedComponent> framed;
    const std::uint32_t count = ComponentCount(state, ComponentKind::kDisk);
    for (std::uint32_t i = 0; i < count; ++i) {
        const ComponentStatus status =
            AddComponentItem(tree_, nullptr, state, ComponentKind::kDisk, i);
        if (status.value != DS_NORMAL) {
            framed.push_back(FramedComponent{ComponentKind::kDisk, i, status.value});
        }
    }
    framed_ = std::move(framed);
    picture_->update();
    if (lastDisk_.has_value()) {
        SelectDisk(*lastDisk_);
    }
}

std::optional<std::uint32_t> CDevDiagPage::SelectedDisk() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || !item->isSelected()) {
        return std::nullopt;
    }
    if (item->parent() != nullptr) {
        item = item->parent();
    }
    return item->data(0, Qt::UserRole).toUInt();
}

void CDevDiagPage::SelectDisk(std::uint32_t disk) {
    if (disk >= static_cast<std::uint32_t>(tree_->topLevelItemCount())) {
        return;
    }
    QTreeWidgetItem* item = tree_->topLevelItem(static_cast<int>(disk));
    item->setExpanded(true);
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
}

void CDevDiagPage::OnPictureClicked(const QPoint& point) {
    const std::optional<std::uint32_t> disk =
        DiskPicture::HitTest(static_cast<std::uint32_t>(tree_->topLevelItemCount()), point);
    if (!disk.has_value()) {
        return;
    }
    tree_->collapseAll();
    SelectDisk(*disk);
}

std::optional<std::uint32_t> CDevDiagPage::DiskForCommand() {
    const std::optional<std::uint32_t> disk = SelectedDisk();
    if (!disk.has_value()) {
        Commands().Message(txt::kSelectDisk);
        return std::nullopt;
    }
    lastDisk_ = disk;
    return disk;
}

void CDevDiagPage::OnInclude() {
    const std::optional<std::uint32_t> disk = DiskForCommand();
    if (!disk.has_value()) {
        return;
    }
    if (!MayInclude(Commands().State(), Commands().Server(), *disk)) {
        Commands().Message(txt::kCannotInclude);
        return;
    }
    {
        WaitCursor cursor;
        Commands().Run(Commands().Array().AddPhysicalDrive(*disk), txt::kErrInclude);
    }
    Refresh();
}

void CDevDiagPage::OnDown() {
    const std::optional<std::uint32_t> disk = DiskForCommand();
    if (!disk.has_value()) {
        return;
    }
    if (!MayDown(Commands().State(), Commands().Server(), *disk)) {
        Commands().Message(txt::kCannotDown);
        return;
    }
    CDownDiskDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    {
        WaitCursor cursor;
        Commands().Run(Commands().Array().DownPhysicalDrive(*disk, dialog.Choice(), 1),
                       txt::kErrDown);
    }
    Refresh();
}

void CDevDiagPage::OnTest() {
    const std::optional<std::uint32_t> disk = DiskForCommand();
    if (!disk.has_value()) {
        return;
    }
    if (EvaluateComponent(Commands().State(), ComponentKind::kDisk, *disk).value == DS_EMPTY_SLOT) {
        Commands().Message(txt::kCannotTestEmpty);
        return;
    }
    CTestDiskDlg dialog(Commands(), *disk, this);
    dialog.exec();
    Refresh();
}

void CDevDiagPage::OnShutdown() {
    if (!MayShutdown(Commands().State())) {
        Commands().Message(txt::kCannotShutdown);
        return;
    }
    if (!Commands().Confirm(txt::kAskShutdown)) {
        return;
    }
    bool done = false;
    {
        WaitCursor cursor;
        done = Commands().Run(Commands().Array().ShutdownSubsystem(), txt::kErrShutdown);
    }
    if (done) {
        Commands().Message(txt::kShutDown, QMessageBox::Information);
    }
    Sheet().PostRefresh(CDevPropSheet::kReadState);
}

void CDevDiagPage::OnRestart() {
    if (!MayRestart(Commands().State())) {
        Commands().Message(txt::kCannotRestart);
        return;
    }
    bool done = false;
    {
        WaitCursor cursor;
        done = Commands().Run(Commands().Array().RestartSubsystem(), txt::kErrRestart);
    }
    if (done) {
        Commands().Message(txt::kRestarted, QMessageBox::Information);
    }
    Sheet().PostRefresh(CDevPropSheet::kReadState);
}

void CDevDiagPage::OnReset() {
    if (!MayReset(Commands().State())) {
        Commands().Message(txt::kCannotReset);
        return;
    }
    if (!Commands().Confirm(txt::kAskReset)) {
        return;
    }
    {
        WaitCursor cursor;
        Commands().Run(Commands().Array().ResetSubsystem(), txt::kErrReset);
    }
    Sheet().PostRefresh(CDevPropSheet::kReadState);
}

void CDevDiagPage::OnFormat() {
    if (!MayFormatArray(Commands().State())) {
        Commands().Message(txt::kCannotFormatArray);
        return;
    }
    if (!Commands().Confirm(txt::kAskFormatArray)) {
        return;
    }
    {
        WaitCursor cursor;
        Commands().Run(Commands().Array().FormatSubsystem(1), txt::kErrFormatArray);
    }
    Sheet().PostRefresh(CDevPropSheet::kReadState);
}

void CDevDiagPage::OnSwitch(std::uint32_t controller) {
    if (!MaySwitchTo(Commands().State(), controller)) {
        Commands().Message(txt::kCannotSwitch);
        return;
    }
    if (!Commands().Confirm(txt::kAskSwitch)) {
        return;
    }
    bool done = false;
    {
        WaitCursor cursor;
        done = Commands().Run(Commands().Array().SetPrimaryController(controller), txt::kErrSwitch);
    }
    if (done) {
        Commands().Message(txt::kSwitched, QMessageBox::Information);
    }
    Sheet().PostRefresh(CDevPropSheet::kAfterDiagnostics);
}

void CDevDiagPage::OnLogRestart() {
    WaitCursor cursor;
    Commands().Run(Commands().Array().RetryLogAfterError(), txt::kErrRetryLog);
}

std::optional<std::vector<unsigned char>> CDevDiagPage::ReadLog(bool clear) {
    WaitCursor cursor;
    const CommandReply reply = Commands().Await(
        Commands().Array().ReadControllerLog(kControllerLogBytes, 1, clear ? 1 : 0));
    const auto* buffer = dynamic_cast<const BufferPollMsg*>(reply.result);
    if (reply.kind != kBufferReply || buffer == nullptr) {
        Commands().Message(txt::kErrReadControllerLog);
        return std::nullopt;
    }
    return buffer->bytes;
}

void CDevDiagPage::OnLogView() {
    const std::optional<std::vector<unsigned char>> page = ReadLog(false);
    if (!page.has_value()) {
        return;
    }
    std::vector<std::string> lines;
    for (const ControllerLogEntry& entry : ParseControllerLog(*page)) {
        lines.push_back(ControllerLogLine(entry));
    }
    CControllerLogDlg dialog(lines, this);
    dialog.exec();
}

void CDevDiagPage::OnLogClear() {
    if (!Commands().Confirm(txt::kAskClearControllerLog)) {
        return;
    }
    const std::optional<std::vector<unsigned char>> page = ReadLog(true);
    if (!page.has_value()) {
        return;
    }
    Commands().Message(
        QText(txt::kControllerLogCleared, static_cast<int>(ParseControllerLog(*page).size())),
        QMessageBox::Information);
}

}  // namespace oru
