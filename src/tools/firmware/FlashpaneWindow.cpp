#include "tools/firmware/FlashpaneWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <cstring>

#include "platform/Process.h"
#include "tools/firmware/BytesAnimation.h"
#include "tools/firmware/FlashpaneTexts.h"

namespace flashpane {

namespace {

using T = FlashpaneText;

constexpr int kPollMs = 100;
// What the file dialog says of a name longer than the download takes: the
// name's buffer is too small.
constexpr int kBufferTooSmall = 12291;
constexpr const char* kFirmwareDirectory = "../fw";

QString Q(T id) {
    return QString::fromUtf8(Text(id));
}

QLabel* IconLabel(QWidget* parent, QStyle::StandardPixmap which) {
    auto* label = new QLabel(parent);
    label->setPixmap(parent->style()->standardIcon(which).pixmap(32, 32));
    return label;
}

}  // namespace

QString HelpFilePath() {
    return QString::fromStdString(platform::ProgramDirectory()) +
           "/../share/strovane/help/fw-download-utility.html";
}

FlashpaneWindow::FlashpaneWindow(FlashpaneModel& model, FlashpanePrompts& prompts, QWidget* parent)
    : QDialog(parent), model_(model), prompts_(prompts) {
    setWindowTitle(Q(T::MAIN_CAPTION));
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
    setModal(false);
    BuildMenu();
    BuildControls();
    connect(&timer_, &QTimer::timeout, this, &FlashpaneWindow::PollChild);
}

void FlashpaneWindow::BuildMenu() {
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu(Q(T::MENU_FILE));
    exit_ = file->addAction(Q(T::MENU_EXIT), this, &FlashpaneWindow::Quit);
    QMenu* configure = bar->addMenu(Q(T::MENU_CONFIGURE));
    verbose_ = configure->addAction(Q(T::MENU_VERBOSE), this, &FlashpaneWindow::ToggleVerbose);
    verbose_->setCheckable(true);
    QMenu* help = bar->addMenu(Q(T::MENU_HELP));
    help_ = help->addAction(Q(T::MENU_HELP_CONTENTS), this, &FlashpaneWindow::ShowHelp);
    about_ = help->addAction(Q(T::MENU_ABOUT), this, &FlashpaneWindow::ShowAbout);
    exit_->setObjectName("exitAction");
    verbose_->setObjectName("verboseAction");
    help_->setObjectName("helpAction");
    about_->setObjectName("aboutAction");
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
}

void FlashpaneWindow::BuildControls() {
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->addWidget(new QLabel(Q(T::HEADING), this));
    auto* columns = new QHBoxLayout;
    for (T caption : {T::COLUMN_SERIAL, T::COLUMN_FIRMWARE, T::COLUMN_MODEL})
        columns->addWidget(new QLabel(Q(caption), this));
    layout->addLayout(columns);
    arrays_ = new QListWidget(this);
    arrays_->setObjectName("arrayList");
    arrays_->setFont(QFont("Monospace"));
    layout->addWidget(arrays_);

    auto* file = new QGridLayout;
    select_ = new QPushButton(Q(T::SELECT_FIRMWARE), this);
    select_->setObjectName("selectFirmware");
    connect(select_, &QPushButton::clicked, this, &FlashpaneWindow::SelectFirmware);
    firmware_ = new QLineEdit(this);
    firmware_->setObjectName("firmwareName");
    firmware_->setReadOnly(true);
    file->addWidget(select_, 0, 0);
    file->addWidget(new QLabel(Q(T::FIRMWARE_SELECTED), this), 0, 1);
    file->addWidget(firmware_, 1, 1);
    layout->addLayout(file);

    for (T step : {T::STEP_1, T::STEP_2, T::STEP_3}) {
        auto* label = new QLabel(Q(step), this);
        steps_.append(label);
        layout->addWidget(label);
    }
    auto* busyRow = new QHBoxLayout;
    QLabel* left = IconLabel(this, QStyle::SP_ComputerIcon);
    animation_ = new BytesAnimation(this);
    animation_->setObjectName("animation");
    QLabel* right = IconLabel(this, QStyle::SP_DriveHDIcon);
    busyRow->addWidget(left);
    busyRow->addWidget(animation_, 1, Qt::AlignCenter);
    busyRow->addWidget(right);
    layout->addLayout(busyRow);
    auto* downloading = new QLabel(Q(T::DOWNLOADING), this);
    auto* disturb = new QLabel(Q(T::DO_NOT_DISTURB), this);
    downloading->setObjectName("downloadingText");
    layout->addWidget(downloading);
    layout->addWidget(disturb);
    busy_ = {left, animation_, right, downloading, disturb};

    auto* buttons = new QHBoxLayout;
    download_ = new QPushButton(Q(T::DOWNLOAD), this);
    download_->setObjectName("downloadButton");
    connect(download_, &QPushButton::clicked, this, &FlashpaneWindow::StartDownload);
    cancel_ = new QPushButton(Q(T::CANCEL), this);
    cancel_->setObjectName("cancelButton");
    connect(cancel_, &QPushButton::clicked, this, &FlashpaneWindow::Quit);
    buttons->addStretch();
    buttons->addWidget(download_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    for (QWidget* w : busy_)
        w->hide();
}

void FlashpaneWindow::Initialize() {
    Discover();
    if (ClusterKeyPresent())
        prompts_.Tell(this, Q(T::CLUSTER_WARNING), Q(T::CLUSTER_WARNING_CAPTION),
                      FlashpanePrompts::Icon::kWarning);
    verbose_->setChecked(false);
    model_.SetVerbose(false);
    download_->setEnabled(false);
}

void FlashpaneWindow::TellNotStarted(const StartOutcome& outcome) {
    const QString path = QString::fromStdString(outcome.path);
    const QString reason = QString::fromLocal8Bit(std::strerror(outcome.error));
    switch (outcome.problem) {
        case StartOutcome::Problem::kNone:
        case StartOutcome::Problem::kBusy:  // the running one goes on
            return;
        case StartOutcome::Problem::kProgramMissing:
            prompts_.Tell(this, Q(T::COMPONENT_MISSING), Q(T::COMPONENT_MISSING_CAPTION),
                          FlashpanePrompts::Icon::kError);
            return;
        case StartOutcome::Problem::kOutputFile:
            prompts_.Tell(this, Q(T::OUTPUT_FILE_FAILED).arg(path, reason),
                          Q(T::OUTPUT_FILE_FAILED_CAPTION), FlashpanePrompts::Icon::kError);
            return;
        case StartOutcome::Problem::kProgramFailed:
            prompts_.Tell(this, Q(T::PROGRAM_FAILED).arg(path, reason),
                          Q(T::PROGRAM_FAILED_CAPTION), FlashpanePrompts::Icon::kError);
            return;
    }
}

void FlashpaneWindow::Discover() {
    arrays_->clear();
    TellNotStarted(model_.Discover());
    for (const std::string& entry : model_.Arrays())
        arrays_->addItem(QString::fromStdString(entry));
}

void FlashpaneWindow::SelectFirmware() {
    const QString before = QDir::currentPath();
    const QString filters = Q(T::FILE_FILTER_FIRMWARE) + ";;" + Q(T::FILE_FILTER_ALL);
    const QString path =
        prompts_.ChooseFile(this, Q(T::FILE_DIALOG_TITLE), kFirmwareDirectory, filters);
    QDir::setCurrent(before);
    if (path.isEmpty())
        return;
    const std::string chosen = path.toStdString();
    if (!model_.ChooseFirmware(chosen)) {
        prompts_.Tell(this, Q(T::FILE_DIALOG_ERROR) + QString::number(kBufferTooSmall),
                      Q(T::WARNING_CAPTION), FlashpanePrompts::Icon::kError);
        return;
    }
    if (chosen.size() < 2)
        return;
    firmware_->setText(" " + QString::fromStdString(BaseName(chosen)));
    download_->setEnabled(true);
}

void FlashpaneWindow::SetDownloading(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    for (QWidget* w : {static_cast<QWidget*>(cancel_), static_cast<QWidget*>(download_),
                       static_cast<QWidget*>(select_), static_cast<QWidget*>(arrays_)}) {
        w->setEnabled(!on);
    }
    for (QAction* a : {exit_, about_, verbose_, help_})
        a->setEnabled(!on);
    for (QLabel* step : steps_)
        step->setVisible(!on);
    for (QWidget* w : busy_)
        w->setVisible(on);
    if (on) {
        animation_->Play();
    } else {
        animation_->Stop();
    }
}

void FlashpaneWindow::StartDownload() {
    if (!prompts_.Confirm(this, Q(T::CAUTION), Q(T::CAUTION_CAPTION)))
        return;
    SetDownloading(true);
    QListWidgetItem* item = arrays_->currentItem();
    const std::string entry =
        item != nullptr && item->isSelected() ? item->text().toStdString() : std::string();
    const StartOutcome outcome = model_.StartDownload(entry);
    if (!outcome.Started()) {
        // Nothing runs: the window is idle again.
        SetDownloading(false);
        TellNotStarted(outcome);
        return;
    }
    timer_.start(kPollMs);
}

void FlashpaneWindow::PollChild() {
    int exitCode = 0;
    if (!model_.PollDownload(&exitCode))
        return;
    timer_.stop();
    model_.ShowLog();
    SetDownloading(false);
    const ExitMessage message = MessageForExit(exitCode);
    prompts_.Tell(
        this, QString::fromStdString(message.text), QString::fromStdString(message.caption),
        exitCode == 0 ? FlashpanePrompts::Icon::kInformation : FlashpanePrompts::Icon::kWarning);
    Discover();
    emit DownloadFinished(exitCode);
}

void FlashpaneWindow::ToggleVerbose() {
    model_.SetVerbose(verbose_->isChecked());
}

void FlashpaneWindow::ShowAbout() {
    QDialog about(this);
    about.setWindowTitle(Q(T::ABOUT_CAPTION));
    auto* layout = new QVBoxLayout(&about);
    auto* top = new QHBoxLayout;
    top->addWidget(IconLabel(&about, QStyle::SP_DriveHDIcon));
    auto* titles = new QVBoxLayout;
    titles->addWidget(new QLabel(Q(T::ABOUT_TITLE), &about));
    titles->addWidget(new QLabel(Q(T::ABOUT_VERSION), &about));
    top->addLayout(titles);
    layout->addLayout(top);
    layout->addWidget(new QLabel(Q(T::ABOUT_LINE_1), &about));
    layout->addWidget(new QLabel(Q(T::ABOUT_LINE_2), &about));
    auto* ok = new QPushButton(Q(T::ABOUT_OK), &about);
    connect(ok, &QPushButton::clicked, &about, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    about.exec();
}

void FlashpaneWindow::ShowHelp() {
    QFile file(HelpFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        prompts_.Tell(this, Q(T::HELP_MISSING).arg(file.fileName()), Q(T::HELP_CAPTION),
                      FlashpanePrompts::Icon::kWarning);
        return;
    }
    QDialog help(this);
    help.setWindowTitle(Q(T::HELP_CAPTION));
    auto* layout = new QVBoxLayout(&help);
    auto* text = new QTextBrowser(&help);
    text->setHtml(QString::fromUtf8(file.readAll()));
    layout->addWidget(text);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Ok, &help);
    connect(close, &QDialogButtonBox::accepted, &help, &QDialog::accept);
    layout->addWidget(close);
    help.resize(560, 480);
    help.exec();
}

void FlashpaneWindow::Quit() {
    if (model_.Running())
        return;
    QApplication::quit();
}

void FlashpaneWindow::closeEvent(QCloseEvent* event) {
    // The window stays while download works; closing it quits otherwise.
    if (model_.Running()) {
        event->ignore();
        return;
    }
    event->accept();
    QApplication::quit();
}

void FlashpaneWindow::reject() {
    Quit();
}

void FlashpaneWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && !model_.Running()) {
        ShowHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace flashpane
