#include <sys/stat.h>

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "core/globals.h"
#include "files/file_lists.h"
#include "files/readfileform.h"
#include "files/writefileform.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scripted_messages.h"
#include "ui/file_chooser.h"
#include "ui/shared_run.h"

using Codes = std::vector<double>;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList Texts(const ScriptedMessages& messages) {
    QStringList texts;
    for (const kx::Message& m : messages.shown)
        texts << QString::fromStdString(m.text);
    return texts;
}

QStringList Names(const QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

QString AccessibleName(QObject* o) {
    return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
}

// The file screens start in the folder last used; a test starts them in its own.
void StartIn(const QTemporaryDir& dir) {
    QDir::setCurrent(dir.path());
    kx::RememberFolder(dir.path());
}

void SetRun(Codes codes) {
    CodeCount = int16_t(codes.size());
    codes.insert(codes.begin(), 0.0);
    SampleBuffer = codes;
}

// A click, then the second press: how a double-click reaches a widget.
void DoubleClick(QAbstractItemView* view, const QRect& item) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, item.center());
}

}  // namespace

class FileScreensTest : public QObject {
    Q_OBJECT

    // A home of the test's own: a screen that starts there never writes into the user's.
    QTemporaryDir home_;

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("HOME", QFile::encodeName(home_.path()));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void captionsAndAccessibleNames() {
        QTemporaryDir dir;
        WriteFile(dir.filePath("a.dat"), " 1\r\n");
        StartIn(dir);
        WriteFileForm write(kx::SharedRun());
        ReadFileForm read(nullptr, dir.path());
        const QList<QPair<QDialog*, QStringList>> expected = {
            {&write,
             {"KX3105 Evaluation Software - Write Data to File", "Label1=Write to File",
              "Frame1=Select File Location", "Label2=Save file as:", "FileName=Default.dat",
              "Frame2=Save Data as", "DecimalOpt=Decimal", "HexOpt=Hex", "Command1=&Save File",
              "Command2=&Main Menu", "BrowseButton=&Browse..."}},
            {&read,
             {"KX3105 Evaluation Software - Read Data From File", "Label1=Read From File",
              "Frame1=Select Data File", "Label2=Search Criteria :", "SearchText=*.*",
              "FileReadDecOpt=Decimal", "FileReadHexOpt=Hex", "ReadFileCommand=&Read File",
              "ReadMenuCommand=&Main Menu", "BrowseButton=&Browse...", "CodesReadLabel="}}};
        for (const auto& [form, captions] : expected) {
            form->show();
            QCOMPARE(form->windowTitle(), captions.first());
            for (const QString& c : captions.mid(1)) {
                QObject* control = form->findChild<QObject*>(c.section('=', 0, 0));
                QVERIFY2(control, qPrintable(c));
                auto* frame = qobject_cast<QGroupBox*>(control);
                QCOMPARE(frame ? frame->title() : control->property("text").toString(),
                         c.section('=', 1));
            }
            for (QWidget* w : form->findChildren<QWidget*>())
                if (w->isVisible() && !w->parent()->inherits("QAbstractScrollArea"))
                    QVERIFY2(!AccessibleName(w).isEmpty(), qPrintable(w->objectName()));
        }
        QVERIFY(write.findChild<QRadioButton*>("DecimalOpt")->isChecked());
        QVERIFY(read.findChild<QRadioButton*>("FileReadDecOpt")->isChecked());
        QCOMPARE(AccessibleName(write.findChild<QLineEdit*>("FileName")), "Save file as:");
        QAccessibleInterface* list =
            QAccessible::queryAccessibleInterface(read.findChild<QListWidget*>("ListRead"));
        QCOMPARE(list->childCount(), 1);
        QCOMPARE(list->child(0)->text(QAccessible::Name), "a.dat");
    }

    // Saving over a file asks first: No writes nothing, Yes replaces it. Failed saves are
    // answered and the next save succeeds.
    void saveAsksBeforeReplacingFailsAndSavesAgain() {
        QTemporaryDir dir;
        StartIn(dir);
        WriteFile(dir.filePath("Default.dat"), QByteArray(100, 'x'));
        SetRun({5, 0, 8388620});
        ScriptedMessages messages;
        WriteFileForm form(kx::SharedRun());
        auto* name = form.findChild<QLineEdit*>("FileName");
        auto* save = form.findChild<QPushButton*>("Command1");
        const kx::Message replace{"File already exists. Replace it?", "KX3105 Evaluation Software",
                                  kx::Icon::Question, kx::Buttons::YesNo};
        messages.answer(kx::Answer::No);
        save->click();
        QCOMPARE(messages.shown, std::vector{replace});
        QCOMPARE(FileBytes(dir.filePath("Default.dat")), QByteArray(100, 'x'));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Default.dat"});

        messages.shown.clear();
        messages.answer(kx::Answer::Yes);
        save->click();
        QCOMPARE(FileBytes(dir.filePath("Default.dat")), QByteArray(" 5\r\n 0\r\n 8388620\r\n"));
        form.findChild<QRadioButton*>("HexOpt")->click();
        messages.answer(kx::Answer::Yes);
        save->click();
        QCOMPARE(FileBytes(dir.filePath("Default.dat")), QByteArray("5\r\n0\r\n80000C\r\n"));
        QStringList expected{replace.text.c_str(),  "File Written Successfully",
                             replace.text.c_str(),  "File Written Successfully",
                             "Error creating File", "Error creating File"};
        name->clear();
        save->click();
        name->setText("  ");
        save->click();
        // A device is no file to save to: refused before anything is written, without a question.
        name->setText("/dev/full");
        save->click();
        expected << "Error creating File";
        name->setText("run.dat");
        save->click();
        messages.answer(kx::Answer::Yes);
        QTest::keyClick(name, Qt::Key_Return);  // Enter saves, once
        expected << "File Written Successfully" << replace.text.c_str()
                 << "File Written Successfully";
        QCOMPARE(Texts(messages), expected);
        QCOMPARE(messages.shown.at(1).icon, kx::Icon::None);
        QCOMPARE(FileBytes(dir.filePath("run.dat")), QByteArray("5\r\n0\r\n80000C\r\n"));
    }

    // A full disk part way through: "Error Creating File", and the earlier file as it was (or no
    // file at all), nothing left beside it. A FIFO is refused at once instead of blocking.
    void failedSavesLeaveNoCutFile() {
        QTemporaryDir dir;
        StartIn(dir);
        WriteFile(dir.filePath("earlier.dat"), " 1\r\n 2\r\n");
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
        SetRun(Codes(5000, 8388608));  // 5000 lines of 10 bytes
        ScriptedMessages messages;
        WriteFileForm form(kx::SharedRun());
        auto* name = form.findChild<QLineEdit*>("FileName");
        auto* save = form.findChild<QPushButton*>("Command1");
        {
            FileSizeLimit limit(4096);
            name->setText("earlier.dat");
            messages.answer(kx::Answer::Yes);
            save->click();
            name->setText("fresh.dat");
            save->click();
        }
        name->setText(dir.filePath("fifo"));
        save->click();
        QCOMPARE(Texts(messages),
                 (QStringList{"File already exists. Replace it?", "Error Creating File",
                              "Error Creating File", "Error creating File"}));
        QCOMPARE(FileBytes(dir.filePath("earlier.dat")), QByteArray(" 1\r\n 2\r\n"));
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            (QStringList{"earlier.dat", "fifo"}));
    }

    void searchPatternFiltersTheFileList() {
        QTemporaryDir dir;
        for (const char* name : {"a.dat", "b.txt", "C.DAT", "notes[1]"})
            WriteFile(dir.filePath(name), " 7\r\n");
        ReadFileForm form(nullptr, dir.path());
        auto* list = form.findChild<QListWidget*>("ListRead");
        auto* search = form.findChild<QLineEdit*>("SearchText");
        QCOMPARE(Names(list), (QStringList{"a.dat", "b.txt", "C.DAT", "notes[1]"}));
        search->clear();
        QTest::keyClicks(search, "*.dat");
        QCOMPARE(Names(list).size(), 4);  // typing alone changes nothing
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(Names(list), (QStringList{"a.dat", "C.DAT"}));

        // A click on the list applies the pattern too, and the clicked file stays selected.
        search->setText("*.txt;*.dat");
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        QCOMPARE(Names(list), (QStringList{"a.dat", "b.txt", "C.DAT"}));
        QCOMPARE(list->currentItem()->text(), "C.DAT");

        // A double-click reads the file.
        SetRun({});
        ScriptedMessages messages;
        DoubleClick(list, list->visualItemRect(list->item(1)));
        QCOMPARE(Texts(messages), QStringList{"File Successfully Read"});
        QCOMPARE(SampleBuffer, (Codes{0, 7}));

        search->setText("n*[1]");  // a bracket is part of a name
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(Names(list), QStringList{"notes[1]"});
    }

    void readReplacesTheRunOnlyWhenTheWholeFileIsRead_data() {
        QTest::addColumn<QString>("file");  // empty: nothing selected
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("message");  // empty: none
        QTest::addColumn<kx::Icon>("icon");
        QTest::addColumn<Codes>("run");
        const Codes previous{11, 12};
        const auto info = kx::Icon::Information, warning = kx::Icon::Warning;
        QTest::newRow("hex") << "h.dat" << QByteArray("8000\r\nFFFF\r\n0\r\n") << true
                             << "File Successfully Read" << info << Codes{32768, 65535, 0};
        QTest::newRow("bad line") << "b.dat" << QByteArray(" 5\r\nfive\r\n") << false
                                  << "Error Reading File" << warning << previous;
        QTest::newRow("5001 codes")
            << "big.dat" << QByteArray(" 1\r\n").repeated(5001) << false
            << "File not Read: at most 5000 Codes can be read from one File" << warning << previous;
        QTest::newRow("empty file") << "e.dat" << QByteArray() << false << "" << info << previous;
        QTest::newRow("nothing selected") << "" << QByteArray() << false << "" << info << previous;
    }
    void readReplacesTheRunOnlyWhenTheWholeFileIsRead() {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, hex);
        QFETCH(QString, message);
        QFETCH(kx::Icon, icon);
        QFETCH(Codes, run);
        QTemporaryDir dir;
        WriteFile(dir.filePath("other.dat"), " 99\r\n");
        if (!file.isEmpty()) WriteFile(dir.filePath(file), bytes);
        SetRun({11, 12});
        ScriptedMessages messages;
        ReadFileForm form(nullptr, dir.path());
        auto* list = form.findChild<QListWidget*>("ListRead");
        if (!file.isEmpty()) list->setCurrentItem(list->findItems(file, Qt::MatchExactly).at(0));
        if (hex) form.findChild<QRadioButton*>("FileReadHexOpt")->click();
        form.findChild<QPushButton*>("ReadFileCommand")->click();

        QCOMPARE(Texts(messages), message.isEmpty() ? QStringList{} : QStringList{message});
        if (!message.isEmpty()) QCOMPARE(messages.shown.front().icon, icon);
        run.insert(run.begin(), 0.0);
        QCOMPARE(SampleBuffer, run);
        QCOMPARE(CodeCount, int16_t(run.size() - 1));
    }

    void directoryListLeadsTheFileListAndTheProcess() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        WriteFile(dir.filePath("top.dat"), " 1\r\n");
        WriteFile(dir.filePath("sub/inner.dat"), " 2\r\n");
        const QString top = QDir::cleanPath(dir.path());
        const QString sub = top + "/sub";
        ReadFileForm form(nullptr, top);
        QCOMPARE(QDir::currentPath(), top);
        auto* dirs = form.findChild<kx::DirectoryList*>("ReadDir");
        auto* files = form.findChild<QListWidget*>("ListRead");
        dirs->setCurrentItem(dirs->currentItem()->child(0));  // "sub"
        QTest::keyClick(dirs, Qt::Key_Q);  // any typed key opens the highlighted directory
        QCOMPARE(Names(files), QStringList{"inner.dat"});
        QCOMPARE(QDir::currentPath(), sub);
        dirs->setCurrentItem(dirs->currentItem()->parent());
        QTest::keyClick(dirs, Qt::Key_Return);
        QCOMPARE(Names(files), QStringList{"top.dat"});
        QCOMPARE(QDir::currentPath(), top);

        // A drive that cannot be read: the list goes back to the directory's drive.
        auto* drives = form.findChild<kx::DriveList*>("ReadDrive");
        drives->setDrives({"/", "/kx3105-no-such-drive"});
        drives->setCurrentIndex(1);
        QCOMPARE(drives->drive(), "/");
        QCOMPARE(dirs->path(), top);
        QCOMPARE(QDir::currentPath(), top);

        // The write screen starts in the folder the read screen was left in, and follows a
        // double-click downwards.
        QDir::setCurrent(sub);
        WriteFileForm write(kx::SharedRun());
        write.show();
        QVERIFY(QTest::qWaitForWindowExposed(&write));
        auto* writeDirs = write.findChild<kx::DirectoryList*>("WriteDir");
        auto* writeList = write.findChild<QListWidget*>("WriteList");
        QCOMPARE(Names(writeList), QStringList{"top.dat"});
        QCOMPARE(QDir::currentPath(), top);
        DoubleClick(writeDirs, writeDirs->visualItemRect(writeDirs->currentItem()->child(0)));
        QCOMPARE(Names(writeList), QStringList{"inner.dat"});
        QCOMPARE(QDir::currentPath(), sub);
    }

    // The first opening starts in the home folder (its documents folder once there is one), the
    // next in the folder last used while it exists; never in the program's own folder.
    void screensStartInTheFolderLastUsed() {
        const QString home = QDir::cleanPath(home_.path());
        const QString used = home + "/runs";
        QVERIFY(QDir(home).mkpath("runs"));
        kx::RememberFolder({});
        SetRun({5, 6});
        ScriptedMessages messages;
        {
            WriteFileForm first(kx::SharedRun());
            auto* dirs = first.findChild<kx::DirectoryList*>("WriteDir");
            QCOMPARE(dirs->path(), home);
            QVERIFY(dirs->setPath(used));
            first.findChild<QPushButton*>("Command1")->click();
        }
        QCOMPARE(FileBytes(used + "/Default.dat"), QByteArray(" 5\r\n 6\r\n"));
        WriteFileForm second(kx::SharedRun());
        QCOMPARE(second.findChild<kx::DirectoryList*>("WriteDir")->path(), used);
        ReadFileForm read;
        QCOMPARE(read.findChild<kx::DirectoryList*>("ReadDir")->path(), used);
        QCOMPARE(Names(read.findChild<QListWidget*>("ListRead")), QStringList{"Default.dat"});

        // A folder that has gone is no place to start; a documents folder is the first choice.
        QVERIFY(QDir(used).removeRecursively());
        QVERIFY(QDir(home).mkdir("Documents"));
        WriteFileForm third(kx::SharedRun());
        QCOMPARE(third.findChild<kx::DirectoryList*>("WriteDir")->path(), home + "/Documents");
        QVERIFY(QDir(home + "/Documents").removeRecursively());
        QCOMPARE(Texts(messages), QStringList{"File Written Successfully"});
    }

    // "Browse..." asks the desktop's dialog; its answer moves the lists and is saved or read at
    // once, whatever the search pattern shows.
    void browseUsesTheDesktopDialog() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("chosen"));
        const QString chosen = QDir::cleanPath(dir.path()) + "/chosen";
        StartIn(dir);
        SetRun({7, 8, 9});
        ScriptedMessages messages;
        QList<QPair<kx::FileDialogKind, QString>> asked;
        QString answer = chosen + "/taken.txt";
        kx::SetFileChooser([&](QWidget*, kx::FileDialogKind kind, const QString& start) {
            asked << qMakePair(kind, start);
            return answer;
        });
        WriteFileForm write(kx::SharedRun());
        write.findChild<QPushButton*>("BrowseButton")->click();
        QCOMPARE(FileBytes(answer), QByteArray(" 7\r\n 8\r\n 9\r\n"));
        QCOMPARE(write.findChild<QLineEdit*>("FileName")->text(), "taken.txt");
        QCOMPARE(write.findChild<kx::DirectoryList*>("WriteDir")->path(), chosen);

        SetRun({});
        ReadFileForm read(nullptr, dir.path());
        read.findChild<QLineEdit*>("SearchText")->setText("*.dat");
        QTest::keyClick(read.findChild<QLineEdit*>("SearchText"), Qt::Key_Return);
        read.findChild<QPushButton*>("BrowseButton")->click();
        QCOMPARE(SampleBuffer, (Codes{0, 7, 8, 9}));
        auto* codesRead = read.findChild<QLabel*>("CodesReadLabel");
        QCOMPARE(codesRead->text(), "3 codes read from taken.txt");
        QCOMPARE(AccessibleName(codesRead), "Codes read: 3 codes read from taken.txt");
        QCOMPARE(read.findChild<kx::DirectoryList*>("ReadDir")->path(), chosen);

        answer.clear();  // cancelled: nothing happens
        read.findChild<QPushButton*>("BrowseButton")->click();
        kx::SetFileChooser(nullptr);
        QCOMPARE(asked.size(), 3);
        QCOMPARE(asked[0], qMakePair(kx::FileDialogKind::SaveData,
                                     QDir::cleanPath(dir.path()) + "/Default.dat"));
        QCOMPARE(asked[1], qMakePair(kx::FileDialogKind::OpenData, QDir::cleanPath(dir.path())));
        QCOMPARE(Texts(messages),
                 (QStringList{"File Written Successfully", "File Successfully Read"}));
        QCOMPARE(codesRead->text(), "3 codes read from taken.txt");
    }
};

QTEST_MAIN(FileScreensTest)
#include "tst_file_screens.moc"
