#include "app/frmMain.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmDone.h"
#include "dialogs/frmFileSelect.h"
#include "dialogs/frmLogView.h"
#include "dialogs/frmPreview.h"
#include "dialogs/frmSearch.h"
#include "dialogs/frmSplash.h"
#include "options/frmOptions.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"

#include <QAccessible>
#include <QTest>
#include <QtWidgets>

using namespace quillfen;

namespace {

bool saysSomething(QAccessibleInterface *node)
{
    static const QRegularExpression letter(QStringLiteral("\\p{L}"));
    return node->text(QAccessible::Name).contains(letter);
}

// The controls of `window` below `node` that a screen reader would announce without a word: those
// that hold the focus, and progress bars, with neither a name that holds a letter ("..." and "10"
// say nothing) nor a label that names them.
void collectUnnamed(const QWidget *window, QAccessibleInterface *node, QStringList &unnamed)
{
    for (int k = 0; k < node->childCount(); ++k) {
        QAccessibleInterface *child = node->child(k);
        const auto *widget = qobject_cast<const QWidget *>(child->object());
        const bool takesFocus = widget && (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy();
        const bool control
            = child->role() == QAccessible::ProgressBar || (takesFocus && widget->window() == window);
        const auto labels = child->relations(QAccessible::Label);
        const bool labelled = std::any_of(
            labels.begin(), labels.end(), [](const auto &label) { return saysSomething(label.first); });
        if (control && !saysSomething(child) && !labelled)
            unnamed << widget->objectName();
        collectUnnamed(window, child, unnamed);
    }
}

// The controls that Tab visits, in its order, from the window's first.
QStringList tabOrder(QWidget *window)
{
    QStringList names;
    for (QWidget *widget = window->nextInFocusChain(); widget != window;
         widget = widget->nextInFocusChain()) {
        if ((widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy() && widget->isVisibleTo(window))
            names << widget->objectName();
    }
    return names;
}

class Accessibility : public ::testing::Test
{
protected:
    test::TempStore store;
    test::ScriptedMessageBoxes boxes;
    EntryList entries;
    frmFileSelect editor {entries};
};

TEST_F(Accessibility, EveryWindowNamesEachControlItsUserReaches)
{
    struct Row
    {
        const char *name;
        std::function<QWidget *()> open;
    };
    const Row rows[] = {
        {.name = "main", .open = [] { return new frmMain; }},
        {.name = "Options", .open = [] { return new frmOptions; }},
        {.name = "entry editor", .open = [this] { return new frmFileSelect(entries); }},
        {.name = "file search", .open = [this] { return new frmSearch(&editor); }},
        {.name = "preview", .open = [] { return new frmPreview({}, "1", "h", false); }},
        {.name = "log viewer", .open = [] { return new frmLogView("filelog.txt"); }},
        {.name = "About", .open = [] { return new frmAbout; }},
        {.name = "splash", .open = [] { return new frmSplash; }},
        {.name = "notice", .open = [] { return new frmDone; }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const std::unique_ptr<QWidget> window(row.open());
        QStringList unnamed;
        collectUnnamed(window.get(), QAccessible::queryAccessibleInterface(window.get()), unnamed);
        EXPECT_EQ(unnamed, QStringList());
    }
}

TEST_F(Accessibility, TabKeepsTheDescribedOrder)
{
    frmOptions options;
    EXPECT_EQ(tabOrder(&options).join(' '),
        "cboTimer chkAutoStart txtExt txtInterval txtIntType lstFiles cmdFile cmdRemove cmdClose");
    EXPECT_EQ(tabOrder(&editor).join(' '), "cmdFile txtFile txtPath txtDest cmdDest chkMove cmdOK cmdCancel");
}

TEST_F(Accessibility, F10OpensTheOptionsWindowsMenu)
{
    frmOptions options;
    options.show();
    QApplication::setActiveWindow(&options);
    QTest::keyClick(&options, Qt::Key_F10);
    EXPECT_TRUE(options.findChild<QMenu *>("mnuSettings")->isVisible());
}

} // namespace
