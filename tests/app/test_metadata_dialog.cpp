// The metadata form: its fields and NAME=VALUE lines become the batch's pairs, and OK refuses what the
// command line would refuse, saying why and staying open.

#include "app/MetadataDialog.h"
#include "tests/app/WindowFixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

using windowtest::WindowTest;

class MetadataDialogTest : public WindowTest {};

TEST_F(MetadataDialogTest, FieldsThenLinesBecomeThePairsAndBadInputKeepsTheFormOpen) {
    MetadataDialog dialog({{"Operator", "Jo"}, {"Scene", "12"}});
    auto *title = dialog.findChild<QLineEdit *>("titleField");
    auto *lines = dialog.findChild<QPlainTextEdit *>("pairLines");
    ASSERT_TRUE(title && lines);
    EXPECT_EQ(dialog.findChild<QLineEdit *>("operatorField")->text(), "Jo");
    EXPECT_EQ(lines->toPlainText(), "Scene=12");

    title->setText("Ÿsgol");
    lines->setPlainText("Scene=12\n\nNote=a=b\nbroken");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.problem(), "Line 4: \"broken\" is not NAME=VALUE");

    lines->setPlainText("Scene=12\ntitle=again");
    dialog.accept();
    EXPECT_EQ(dialog.problem(),
              "Metadata: the name \"title\" is given twice (\"Title\" before it; names ignore case)");

    lines->setPlainText("Scene=12\nNote=a=b");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.pairs(),
              MetadataPairs({{"Title", "Ÿsgol"}, {"Operator", "Jo"}, {"Scene", "12"}, {"Note", "a=b"}}));
}

} // namespace
