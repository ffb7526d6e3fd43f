#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "app/aboutform.h"
#include "tests/support/scripted_messages.h"

namespace {

// Finds the program under its own registry entry and notes what it was asked to start.
class FoundHost final : public kx::SystemInfoHost {
public:
    std::vector<std::string> started;
    bool GetKeyValue(kx::RegistryRoot, const std::string&, const std::string& name,
                     std::string& text) override {
        text = name == "PATH" ? "C:\\Info\\msinfo32.exe" : "";
        return name == "PATH";
    }
    bool FileExists(const std::string&) override { return false; }
    bool StartProgram(const std::string& path) override {
        started.push_back(path);
        return true;
    }
};

}  // namespace

class AboutFormTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheIconInThePictureAndOnTheWindow() {
        aboutform form;
        const QLabel* picture = form.findChild<QLabel*>("picIcon");
        QVERIFY(!picture->pixmap().isNull());
        QVERIFY(!form.windowIcon().isNull());
        // Something is drawn: the picture is not one flat colour.
        const QImage image = picture->pixmap().toImage();
        QVERIFY(image.pixelColor(image.width() / 2, image.height() / 2) != image.pixelColor(0, 0));
    }

    void systemInfoIsUnavailableWithoutTheRegistry() {
        ScriptedMessages messages;
        aboutform form;
        form.show();
        form.findChild<QPushButton*>("cmdSysInfo")->click();
        const kx::Message unavailable{"System Information Is Unavailable At This Time",
                                      "KX3105 Evaluation Software", kx::Icon::None,
                                      kx::Buttons::Ok};
        QCOMPARE(messages.shown, std::vector<kx::Message>{unavailable});
        QVERIFY(form.isVisible());
    }

    void systemInfoStartsTheProgramFound() {
        ScriptedMessages messages;
        FoundHost host;
        aboutform form(host);
        form.show();
        form.findChild<QPushButton*>("cmdSysInfo")->click();
        QCOMPARE(host.started, std::vector<std::string>{"C:\\Info\\msinfo32.exe"});
        QVERIFY(messages.shown.empty());
        QVERIFY(form.isVisible());
        form.findChild<QPushButton*>("cmdOK")->click();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(AboutFormTest)
#include "tst_aboutform.moc"
