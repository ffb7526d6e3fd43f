#include <QAccessible>
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "app/aboutform.h"
#include "app/mainmenuform.h"
#include "app/programform.h"
#include "app/resetform.h"
#include "tests/support/board_fixture.h"
#include "ui/qt_message_service.h"

namespace {

std::unique_ptr<QDialog> Open(const QString& screen) {
    if (screen == "MainMenuForm")
        return std::make_unique<MainMenuForm>("Board: test", kx::MainMenuOpeners{});
    if (screen == "ProgramForm") return std::make_unique<ProgramForm>(kx::ProgramMenuOpeners{});
    if (screen == "ResetForm") return std::make_unique<ResetForm>();
    return std::make_unique<aboutform>();
}

// What the user reads on a control: window title, frame or menu title, or text.
QString CaptionOf(const QObject* o) {
    if (auto* w = qobject_cast<const QDialog*>(o)) return w->windowTitle();
    if (auto* g = qobject_cast<const QGroupBox*>(o)) return g->title();
    if (auto* m = qobject_cast<const QMenu*>(o)) return m->title();
    return o->property("text").toString();
}

QString AccessibleName(QObject* o) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(o);
    return iface ? iface->text(QAccessible::Name) : QString();
}

void AddScreenRows() {
    QTest::addColumn<QString>("screen");
    for (const char* s : {"MainMenuForm", "ProgramForm", "ResetForm", "aboutform"})
        QTest::newRow(s) << QString(s);
}

}  // namespace

class ScreensTest : public QObject {
    Q_OBJECT

private slots:
    void captions_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        auto row = [](const char* screen, const char* control, const char* caption) {
            QTest::addRow("%s %s", screen, control)
                << QString(screen) << QString(control) << QString(caption);
        };
        row("MainMenuForm", "MainMenuForm", "KX3105 Evaluation Software - Main Menu");
        row("MainMenuForm", "Frame1", "Main Menu");
        row("MainMenuForm", "Command1", "&Program KX3105");
        row("MainMenuForm", "Command2", "Read &Data");
        row("MainMenuForm", "Command3", "&Noise Analysis");
        row("MainMenuForm", "Command4", "Reset &KX3105");
        row("MainMenuForm", "Command5", "&Read from File");
        row("MainMenuForm", "Command6", "&Write to File");
        row("MainMenuForm", "Command7", "A&bout");
        row("MainMenuForm", "Command8", "&Quit");
        row("MainMenuForm", "Command9", "Multi - Channel Read");
        row("MainMenuForm", "MnuPrinter", "&Printer Port");
        row("MainMenuForm", "MnuLPT1", "LPT1");
        row("MainMenuForm", "MnuLPT2", "LPT2");
        row("MainMenuForm", "MnuPRN", "PRN");
        row("ProgramForm", "ProgramForm", "KX3105 Evaluation Software - Program Menu");
        row("ProgramForm", "Frame1", "Program Menu");
        row("ProgramForm", "Command1", "Program &Mode Register");
        row("ProgramForm", "Command2", "Program &Filter Register");
        row("ProgramForm", "Command3", "Program &Calibration Registers");
        row("ProgramForm", "Command4", "Program Con&trol Register");
        row("ProgramForm", "Command5", "Program &I/O Control Register");
        row("ProgramForm", "Command6", "Display &Status Register");
        row("ProgramForm", "Command7", "B&ack");
        row("ResetForm", "ResetForm", "KX3105 Evaluation Software - Reset KX3105");
        row("ResetForm", "Frame1", "Reset KX3105 ?");
        row("ResetForm", "Command1", "&Hardware Reset");
        row("ResetForm", "Command2", "&Software Reset");
        row("ResetForm", "Command3", "&Cancel");
        row("aboutform", "aboutform", "About KX3105 Evaluation Software");
        row("aboutform", "lblTitle", "KX3105 Evaluation Software");
        row("aboutform", "lblVersion", "Version 2.0.1");
        row("aboutform", "Label2", "This Software is distributed free with the ");
        row("aboutform", "Label3", "KX3105 Evaluation Board");
        row("aboutform", "cmdOK", "&OK");
        row("aboutform", "cmdSysInfo", "&System Info...");
    }
    void captions() {
        QFETCH(QString, screen);
        QFETCH(QString, control);
        QFETCH(QString, caption);
        RecordingBoard board;
        auto form = Open(screen);
        QCOMPARE(form->objectName(), screen);
        const QObject* found = control == screen ? form.get() : form->findChild<QObject*>(control);
        QVERIFY2(found, qPrintable(control));
        QCOMPARE(CaptionOf(found), caption);
    }

    void everyVisibleControlHasAnAccessibleName_data() { AddScreenRows(); }
    void everyVisibleControlHasAnAccessibleName() {
        QFETCH(QString, screen);
        RecordingBoard board;
        auto form = Open(screen);
        form->show();
        QList<QWidget*> controls{form.get()};
        for (QWidget* w : form->findChildren<QWidget*>())
            if (w->isVisible()) controls << w;
        QVERIFY(controls.size() > 3);
        for (QWidget* w : controls)
            QVERIFY2(!AccessibleName(w).isEmpty(),
                     qPrintable(w->objectName() + " " + w->metaObject()->className()));
        // The menu and its entries speak their captions, the mnemonic stripped.
        if (auto* menuBar = form->findChild<QMenuBar*>()) {
            QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(menuBar);
            QCOMPARE(bar->childCount(), 1);
            QCOMPARE(bar->child(0)->text(QAccessible::Name), QString("Printer Port"));
            QAccessibleInterface* menu =
                QAccessible::queryAccessibleInterface(form->findChild<QMenu*>("MnuPrinter"));
            QStringList entries;
            for (int i = 0; i < menu->childCount(); ++i)
                entries << menu->child(i)->text(QAccessible::Name);
            QCOMPARE(entries, (QStringList{"LPT1", "LPT2", "PRN"}));
        }
    }

    void opensCentredOnTheDisplay_data() { AddScreenRows(); }
    void opensCentredOnTheDisplay() {
        QFETCH(QString, screen);
        RecordingBoard board;
        auto form = Open(screen);
        form->show();
        const QRect display = form->screen()->geometry();
        const QRect window = form->frameGeometry();
        QCOMPARE(window.top(), display.top() + (display.height() - window.height()) / 2);
        QCOMPARE(window.left(), display.left() + (display.width() - window.width()) / 2);
        QVERIFY(window.width() < display.width() && window.height() < display.height());
    }

    void messageBoxes_data() {
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("question");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("boxIcon");
        QTest::addColumn<int>("buttons");
        QTest::newRow("question, CR LF") << int(kx::Icon::None) << true << "a,\r\nb,\r\n\r\nc ?"
                                         << "a,\nb,\n\nc ?" << int(QMessageBox::NoIcon)
                                         << int(QMessageBox::Yes | QMessageBox::No);
        QTest::newRow("warning, lone CR")
            << int(kx::Icon::Warning) << false << "Windows Version:\rPort Address:0x378"
            << "Windows Version:\nPort Address:0x378" << int(QMessageBox::Warning)
            << int(QMessageBox::Ok);
        QTest::newRow("information, markup kept as text")
            << int(kx::Icon::Information) << false << "<b>x</b>"
            << "<b>x</b>" << int(QMessageBox::Information) << int(QMessageBox::Ok);
    }
    void messageBoxes() {
        QFETCH(int, icon);
        QFETCH(bool, question);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(int, boxIcon);
        QFETCH(int, buttons);
        const kx::Message message{text.toStdString(), "Show Status", kx::Icon(icon),
                                  question ? kx::Buttons::YesNo : kx::Buttons::Ok};
        auto box = kx::BuildMessageBox(message, nullptr);
        QCOMPARE(box->windowTitle(), QString("Show Status"));
        QCOMPARE(box->text(), shown);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(int(box->icon()), boxIcon);
        QCOMPARE(int(box->standardButtons()), buttons);
        if (question) QCOMPARE(box->escapeButton(), box->button(QMessageBox::No));
    }
};

QTEST_MAIN(ScreensTest)
#include "tst_screens.moc"
