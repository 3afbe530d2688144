// The help window, the about box, the splash and how the main window opens them.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <functional>

#include "AppTestSupport.h"
#include "help/AboutBox.h"
#include "help/HelpWindow.h"
#include "help/SplashWindow.h"
#include "text/Language.h"

using namespace sv;
using namespace sv::test;

namespace {

std::vector<QTreeWidgetItem*> AllItems(QTreeWidget* tree) {
    std::vector<QTreeWidgetItem*> items;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        items.push_back(item);
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i));
    return items;
}

int Depth(const QTreeWidgetItem* item) {
    int depth = 0;
    for (; item->parent(); item = item->parent()) ++depth;
    return depth;
}

QTreeWidgetItem* ItemTitled(QTreeWidget* tree, const QString& title) {
    for (QTreeWidgetItem* item : AllItems(tree))
        if (item->text(0) == title) return item;
    qFatal("no help topic titled %s", qPrintable(title));
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Runs check on the modal window that opens next, then closes it.
void OnNextModal(std::function<void(QWidget*)> check) {
    QTimer::singleShot(0, [check = std::move(check)] {
        QWidget* modal = QApplication::activeModalWidget();
        check(modal);
        if (modal) modal->close();
    });
}

}  // namespace

class HelpWindowTest final : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { MutableTexts() = LanguageTexts{}; }

    void treeHasItsNodesInOrderAndStartsCollapsedWithEmptyText() {
        HelpWindow help;
        QCOMPARE(help.windowTitle(), QStringLiteral("Help"));
        QTreeWidget* tree = help.Tree();
        const auto items = AllItems(tree);
        QCOMPARE(items.size(), std::size_t{47});
        QCOMPARE(tree->topLevelItemCount(), 8);
        for (QTreeWidgetItem* item : items) QVERIFY(!item->isExpanded());
        QVERIFY(help.Text()->toPlainText().isEmpty());

        const int depths[] = {0, 1, 0, 0, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1,
                              0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1,
                              0, 1, 2, 2, 2, 1, 2, 2, 1, 1, 2, 2, 1, 2, 2};
        const char* titles[] = {"Technical parameters", "Characteristics of used method",
                                "Program requirements", "File", "Open"};
        for (std::size_t i = 0; i < items.size(); ++i) QCOMPARE(Depth(items[i]), depths[i]);
        for (std::size_t i = 0; i < std::size(titles); ++i)
            QCOMPARE(items[i]->text(0), QString::fromLatin1(titles[i]));
        QCOMPARE(items[34]->text(0), QStringLiteral("blocks"));
        QCOMPARE(items[46]->text(0), QStringLiteral("dB"));
        QCOMPARE(items[46]->parent()->text(0), QStringLiteral("Lowpass"));

        // Shown, the tree takes the focus and the text box stays empty.
        help.show();
        QVERIFY(QTest::qWaitForWindowActive(&help));
        tree->setFocus();
        QTRY_VERIFY(tree->hasFocus());
        QVERIFY(help.Text()->toPlainText().isEmpty());
    }

    void selectingATopicShowsItsTextAndAHeadingClearsIt() {
        HelpWindow help;
        QTreeWidget* tree = help.Tree();
        tree->setCurrentItem(ItemTitled(tree, "Open"));
        QCOMPARE(help.Text()->toPlainText(), Q(Texts().OpenHelp));
        tree->setCurrentItem(ItemTitled(tree, "File"));
        QVERIFY(help.Text()->toPlainText().isEmpty());
        tree->setCurrentItem(ItemTitled(tree, "Technical parameters"));
        QCOMPARE(help.Text()->toPlainText(), Q(Texts().TechnicalHelp));
    }

    void aClickShowsTheTopic() {
        HelpWindow help;
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QTreeWidget* tree = help.Tree();
        const QRect row = tree->visualItemRect(ItemTitled(tree, "Batch"));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(help.Text()->toPlainText(), Q(Texts().BatchHelp));
    }

    void arrowKeysMoveTheTextWithTheSelection() {
        HelpWindow help;
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QTreeWidget* tree = help.Tree();
        tree->setFocus();
        tree->setCurrentItem(ItemTitled(tree, "Technical parameters"));
        QTest::keyClick(tree, Qt::Key_Down);  // the tree is collapsed: next top-level node
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("Program requirements"));
        QCOMPARE(help.Text()->toPlainText(), Q(Texts().RequirementsHelp));
        QTest::keyClick(tree, Qt::Key_Down);
        QVERIFY(help.Text()->toPlainText().isEmpty());  // "File"
        QTest::keyClick(tree, Qt::Key_Right);           // opens it
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(help.Text()->toPlainText(), Q(Texts().OpenHelp));
    }

    void translatedTitlesAndTextsShowButUnitTitlesStay() {
        TempDir dir;
        const auto ini = dir / "language.ini";
        std::ofstream(ini) << "[MAIN]\ncaopen=Öffnen\nCaL5=Blöcke\n"
                              "[UHelp]\nCaHelp11=Öffnet eine Tondatei.\nCaMenu1=Technik\n";
        LoadLanguageFrom(ini, MutableTexts());

        HelpWindow help;
        QTreeWidget* tree = help.Tree();
        const auto items = AllItems(tree);
        QCOMPARE(items[0]->text(0), QStringLiteral("Technik"));
        QCOMPARE(items[4]->text(0), QStringLiteral("Öffnen"));
        QCOMPARE(items[34]->text(0), QStringLiteral("Blöcke"));
        const char* units[] = {"%", "Hz", "dB", "kHz", "dB"};
        const int unitRows[] = {35, 42, 43, 45, 46};
        for (std::size_t i = 0; i < std::size(units); ++i)
            QCOMPARE(items[static_cast<std::size_t>(unitRows[i])]->text(0),
                     QString::fromLatin1(units[i]));
        tree->setCurrentItem(items[4]);
        QCOMPARE(help.Text()->toPlainText(), QStringLiteral("Öffnet eine Tondatei."));

        // The same translation renames the menu item.
        WindowRig rig(dir);
        QCOMPARE(rig.get<QAction>("openAction")->text(), QStringLiteral("Öffnen"));
    }

    void mainWindowOpensHelpWithF1AndAboutWithShiftF1() {
        TempDir dir;
        WindowRig rig(dir);
        QAction* topic = rig.get<QAction>("helpTopicsAction");
        QAction* about = rig.get<QAction>("aboutAction");
        QCOMPARE(topic->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(about->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F1));

        bool sawHelp = false;
        OnNextModal([&](QWidget* modal) { sawHelp = dynamic_cast<HelpWindow*>(modal) != nullptr; });
        topic->trigger();
        QVERIFY(sawHelp);

        bool sawAbout = false;
        OnNextModal([&](QWidget* modal) { sawAbout = dynamic_cast<AboutBox*>(modal) != nullptr; });
        about->trigger();
        QVERIFY(sawAbout);
    }

    void enterClosesTheAboutBox() {
        AboutBox box;
        QVERIFY(box.OkButton()->isDefault());
        QVERIFY(box.findChild<QLabel*>("Label1")->text().startsWith("v "));
        QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(box.exec(), int(QDialog::Accepted));
        QVERIFY(clock.elapsed() < 5000);
    }

    void splashClosesItselfWithoutAStartSound() {
        TempDir dir;
        SplashWindow splash(dir / "start.wav");
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(splash.size(), QSize(400, 300));
        QCOMPARE(splash.findChild<QLabel*>("Label4")->text(), QStringLiteral("Disk Version"));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(splash.exec(), int(QDialog::Accepted));
        QVERIFY2(clock.elapsed() >= SplashWindow::ShowMilliseconds - 50 && clock.elapsed() < 10000,
                 qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_MAIN(HelpWindowTest)
#include "HelpWindowTest.moc"
