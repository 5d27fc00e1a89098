// flashpane's window offscreen, running the real download against
// strovsim: the arrays it lists, a download to success with its log, a
// failing run's message, a run without a selected array, a download
// program that is missing or answers with a code of its own, and the
// cluster warning. The prompts are recorded instead of shown.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "DownloadMachine.h"
#include "platform/Registry.h"
#include "platform/Root.h"
#include "tools/firmware/FlashpaneTexts.h"
#include "tools/firmware/FlashpaneWindow.h"

// fontconfig, under Qt's font database, keeps allocations for the life of
// the process that LeakSanitizer would report as leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace fwtest {
namespace {

using flashpane::FlashpaneText;

QApplication& Application() {
    static int argc = 1;
    static char name[] = "flashpane_tests";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Never destroyed: at exit Qt's own globals may already be gone.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

struct Told {
    std::string text;
    std::string caption;
};

class RecordingPrompts : public flashpane::FlashpanePrompts {
  public:
    void Tell(QWidget*, const QString& text, const QString& caption, Icon) override {
        told.push_back({text.toStdString(), caption.toStdString()});
    }
    bool Confirm(QWidget*, const QString& text, const QString& caption) override {
        asked.push_back({text.toStdString(), caption.toStdString()});
        return confirm;
    }
    QString ChooseFile(QWidget*, const QString& title, const QString& directory,
                       const QString&) override {
        dialogTitle = title.toStdString();
        dialogDirectory = directory.toStdString();
        return QString::fromStdString(file);
    }

    std::vector<Told> told;
    std::vector<Told> asked;
    bool confirm = true;
    std::string file;
    std::string dialogTitle;
    std::string dialogDirectory;
};

class FlashpaneWindowTest : public DownloadMachine {
  protected:
    void SetUp() override {
        Application();
        DownloadMachine::SetUp();
        // The child download finds the machine and keeps its waits short.
        ::setenv("ORU_ROOT", root_.Path().c_str(), 1);
        ::setenv("ORU_TIME_SCALE", "500", 1);
        work_ = root_.File("work");
        std::filesystem::create_directories(work_);
        ASSERT_NE(::getcwd(previous_, sizeof previous_), nullptr);
        ASSERT_EQ(::chdir(work_.c_str()), 0);
    }
    void TearDown() override {
        window_.reset();
        model_.reset();
        ASSERT_EQ(::chdir(previous_), 0);
        ::unsetenv("ORU_ROOT");
        ::unsetenv("ORU_TIME_SCALE");
    }
    // A window whose model looks for download in ownDirectory (after the
    // current directory), opened as the program opens it.
    void Open(const std::string& ownDirectory = ORU_BIN_DIR) {
        model_ = std::make_unique<flashpane::FlashpaneModel>(ownDirectory);
        window_ = std::make_unique<flashpane::FlashpaneWindow>(*model_, prompts_);
        window_->show();
        window_->Initialize();
    }
    template <typename T>
    T* Find(const char* name) {
        return window_->findChild<T*>(name);
    }
    QStringList Entries() {
        QStringList entries;
        auto* list = Find<QListWidget>("arrayList");
        for (int i = 0; i < list->count(); ++i)
            entries << list->item(i)->text();
        return entries;
    }
    // Chooses a file, selects a list entry (-1: none), clicks Download and
    // waits for the run to end. Its exit code, or -1.
    int RunDownload(const std::string& file, int entry) {
        prompts_.file = file;
        window_->SelectFirmware();
        auto* list = Find<QListWidget>("arrayList");
        list->clearSelection();
        if (entry >= 0)
            list->setCurrentRow(entry);
        QSignalSpy finished(window_.get(), &flashpane::FlashpaneWindow::DownloadFinished);
        QTest::mouseClick(Find<QPushButton>("downloadButton"), Qt::LeftButton);
        if (!window_->Downloading())
            return -1;
        // While download runs the window takes no commands.
        EXPECT_FALSE(Find<QPushButton>("cancelButton")->isEnabled());
        EXPECT_FALSE(Find<QPushButton>("selectFirmware")->isEnabled());
        EXPECT_TRUE(Find<QLabel>("downloadingText")->isVisible());
        window_->close();
        EXPECT_TRUE(window_->isVisible());
        if (!finished.wait(60000))
            return -1;
        return finished.takeFirst().at(0).toInt();
    }
    std::string ReadWork(const std::string& name) {
        std::ifstream in(work_ + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    RecordingPrompts prompts_;
    std::unique_ptr<flashpane::FlashpaneModel> model_;
    std::unique_ptr<flashpane::FlashpaneWindow> window_;
    std::string work_;
    char previous_[4096] = {};
};

TEST_F(FlashpaneWindowTest, ListsTheArraysThisHostSees) {
    Open();
    EXPECT_TRUE(prompts_.told.empty());
    // Both controllers of an array agree: one entry each. The array whose
    // id is no hexadecimal number is not listed.
    EXPECT_EQ(Entries(), (QStringList{"00A0B8C0FFEE     Rev: 0301   Model: QRVZX ARRAY      ",
                                      "00A0B8C0FFEF     Rev: 0301   Model: QRVZX ARRAY      "}));
    EXPECT_FALSE(Find<QPushButton>("downloadButton")->isEnabled());
    EXPECT_FALSE(Find<QLabel>("downloadingText")->isVisible());
    EXPECT_TRUE(window_->grab().save(QString::fromStdString(root_.File("flashpane.png"))));
    // The discovery's temporary file is gone again.
    EXPECT_TRUE(std::filesystem::is_empty(work_));
}

TEST_F(FlashpaneWindowTest, DownloadToSuccessWritesTheLog) {
    Open();
    const int code = RunDownload(Sample("controller-0302.fw"), 1);
    ASSERT_EQ(code, 0) << ReadWork("verbose.out");
    EXPECT_EQ(prompts_.dialogTitle, "SELECT FW FILE");
    EXPECT_EQ(prompts_.dialogDirectory, "../fw");
    EXPECT_EQ(Find<QLineEdit>("firmwareName")->text(), " controller-0302.fw");
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].caption, "CAUTION");
    ASSERT_EQ(prompts_.told.size(), 1u);
    EXPECT_EQ(prompts_.told[0].text, "The download was successful,\n Press OK to continue.");
    EXPECT_EQ(prompts_.told[0].caption, "Strovane Download");
    EXPECT_EQ(ControllerRevision(1, 'X'), "0302");
    EXPECT_EQ(ControllerRevision(0, 'X'), "0301");

    const std::string log = ReadWork("fwdl.log");
    EXPECT_EQ(log.rfind("***********************\r\n"
                        "*** Controller firmware download was done with the following command:\r\n"
                        "*** " ORU_BIN_DIR "/download -c " +
                            Sample("controller-0302.fw") +
                            " 00A0B8C0FFEF\r\n"
                            "***********************\r\n",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find(" Firmware Loading\r\n Initializing\r\n"), std::string::npos);
    EXPECT_NE(log.find(" Strovane firmware download program ending.\r\n"), std::string::npos);
    EXPECT_NE(ReadWork("verbose.out").find(" Ready"), std::string::npos);

    // Idle again, and the list read anew shows the new revision.
    EXPECT_TRUE(Find<QPushButton>("cancelButton")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("downloadButton")->isEnabled());
    EXPECT_FALSE(Find<QLabel>("downloadingText")->isVisible());
    EXPECT_TRUE(Entries().contains("00A0B8C0FFEF     Rev: 0302   Model: QRVZX ARRAY      "));
}

TEST_F(FlashpaneWindowTest, FailingRunsAreToldByTheirCode) {
    Open();
    EXPECT_EQ(RunDownload(Sample("controller-bad-checksum.fw"), 0), 1);
    ASSERT_EQ(prompts_.told.size(), 1u);
    EXPECT_EQ(prompts_.told[0].text,
              "Error! Download did not complete (1)\nPlease select a firmware file and try again.");
    EXPECT_EQ(ControllerRevision(0, 'X'), "0301");
    EXPECT_NE(ReadWork("fwdl.log").find(" Initializing\r\n"), std::string::npos);

    // Nothing selected: download refuses the line.
    EXPECT_EQ(RunDownload(Sample("controller-0302.fw"), -1), 2);
    ASSERT_EQ(prompts_.told.size(), 2u);
    EXPECT_EQ(prompts_.told[1].text,
              "Error! Download did not complete (2)\nPlease select an Array and try again.");
    EXPECT_EQ(model_->CommandLine(),
              std::string(ORU_BIN_DIR) + "/download -c " + Sample("controller-0302.fw"));

    // Cancelled at the caution: nothing runs.
    prompts_.confirm = false;
    QTest::mouseClick(Find<QPushButton>("downloadButton"), Qt::LeftButton);
    EXPECT_FALSE(window_->Downloading());
    EXPECT_EQ(prompts_.told.size(), 2u);
}

TEST_F(FlashpaneWindowTest, DownloadInTheCurrentDirectoryComesFirst) {
    // A download here that answers a code of its own.
    {
        std::ofstream script(work_ + "/download");
        script << "#!/bin/sh\n"
                  "if [ \"$1\" = -i ]; then\n"
                  "  echo '   Array with S/N: 0123456789AB     Rev: 9999   Model: TEST'\n"
                  "  exit 0\n"
                  "fi\n"
                  "echo \"ran $*\"\n"
                  "exit 5\n";
    }
    ::chmod((work_ + "/download").c_str(), 0755);
    Open();
    EXPECT_EQ(Entries(), QStringList{"0123456789AB     Rev: 9999   Model: TEST"});
    EXPECT_EQ(RunDownload(Sample("controller-0302.fw"), 0), 5);
    ASSERT_EQ(prompts_.told.size(), 1u);
    EXPECT_EQ(prompts_.told[0].text, "Unknown Error Code");
    EXPECT_EQ(prompts_.told[0].caption, "Strovane Download Failed ");
    EXPECT_NE(
        ReadWork("fwdl.log").find("ran -c " + Sample("controller-0302.fw") + " 0123456789AB\r\n"),
        std::string::npos);
}

TEST_F(FlashpaneWindowTest, MissingDownloadAndTheClusterWarning) {
    platform::RegistryKey key;
    ASSERT_TRUE(platform::RegistryKey::Create(platform::Hive::LOCAL_MACHINE, "Cluster", &key).ok());
    Open(work_);  // download is neither here nor beside the program
    ASSERT_EQ(prompts_.told.size(), 2u);
    EXPECT_EQ(prompts_.told[0].text,
              "The command line program DOWNLOAD.EXE\nmust be in the same directory as "
              "flashpane\nfor flashpane to run");
    EXPECT_EQ(prompts_.told[0].caption, "Component Missing");
    EXPECT_EQ(prompts_.told[1].caption, "Cluster Warning");
    EXPECT_EQ(prompts_.told[1].text.rfind("Warning:\n\nIt appears that this system", 0), 0u);
    EXPECT_TRUE(Entries().isEmpty());
    // A download that cannot start leaves the window as it was.
    prompts_.file = Sample("controller-0302.fw");
    window_->SelectFirmware();
    QTest::mouseClick(Find<QPushButton>("downloadButton"), Qt::LeftButton);
    EXPECT_FALSE(window_->Downloading());
    EXPECT_EQ(prompts_.told.back().caption, "Component Missing");
    EXPECT_TRUE(Find<QPushButton>("cancelButton")->isEnabled());
}

// download is there, but what it needs cannot be made or it cannot run:
// each is told as what it is, never as a missing program.
TEST_F(FlashpaneWindowTest, DownloadThatCannotStartIsToldWhy) {
    // The discovery's output file: its directory is missing.
    const char* tmp = std::getenv("TMPDIR");
    const std::string savedTmp = tmp != nullptr ? tmp : "";
    const std::string missing = root_.File("no-such-directory");
    ::setenv("TMPDIR", missing.c_str(), 1);
    Open();
    if (savedTmp.empty())
        ::unsetenv("TMPDIR");
    else
        ::setenv("TMPDIR", savedTmp.c_str(), 1);
    ASSERT_EQ(prompts_.told.size(), 1u);
    EXPECT_EQ(prompts_.told[0].text, "The file " + missing +
                                         "/tmpXXXXXX for the output of the download program\n"
                                         "could not be created: " +
                                         std::strerror(ENOENT));
    EXPECT_EQ(prompts_.told[0].caption, "Output File Not Created");

    // The download's output file: a directory stands in its place.
    std::filesystem::create_directory(work_ + "/verbose.out");
    prompts_.file = Sample("controller-0302.fw");
    window_->SelectFirmware();
    QTest::mouseClick(Find<QPushButton>("downloadButton"), Qt::LeftButton);
    EXPECT_FALSE(window_->Downloading());
    ASSERT_EQ(prompts_.told.size(), 2u);
    EXPECT_EQ(prompts_.told[1].text, "The file " + work_ +
                                         "/verbose.out for the output of the download program\n"
                                         "could not be created: " +
                                         std::strerror(EISDIR));
    EXPECT_EQ(prompts_.told[1].caption, "Output File Not Created");
    std::filesystem::remove(work_ + "/verbose.out");

    // A download here that is no program.
    {
        std::ofstream junk(work_ + "/download");
        junk << "no program\n";
    }
    ::chmod((work_ + "/download").c_str(), 0755);
    QTest::mouseClick(Find<QPushButton>("downloadButton"), Qt::LeftButton);
    EXPECT_FALSE(window_->Downloading());
    ASSERT_EQ(prompts_.told.size(), 3u);
    EXPECT_EQ(prompts_.told[2].text,
              "The command line program " + work_ +
                  "/download\ncould not be started: " + std::strerror(ENOEXEC));
    EXPECT_EQ(prompts_.told[2].caption, "Download Not Started");
    EXPECT_TRUE(Find<QPushButton>("cancelButton")->isEnabled());
}

}  // namespace
}  // namespace fwtest
