#include "app/subscription_edit_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "features/subscriptions/identity_text.h"
#include "support/scripted_user.h"

namespace morvik::app {
namespace {

struct SubscriptionEditDialogTest : ::testing::Test {
    test::ScriptedUser user;
    // The comment as an older tool stored it, in Latin-1: "Halle Süd".
    Tfm_Subscript dialog{nullptr, {"Subscript #3", "", "SN-1", "Halle S\xFC" "d"}, user};

    // Types into the identity field from empty; the text it keeps and the beeps it cost.
    std::pair<QString, int> TypeIdentity(const QString& keys) {
        dialog.edIP->clear();
        const int before = user.beeps;
        QTest::keyClicks(dialog.edIP, keys);
        return {dialog.edIP->text(), user.beeps - before};
    }
};

TEST_F(SubscriptionEditDialogTest, TheIdentityFieldRefusesWithABeepWhatCannotBecomeAnIdentity) {
    const std::tuple<QString, QString, int> cases[] = {
        {"256", "25", 1},               // 256 is above a byte
        {".", "", 1},                   // no leading dot
        {"1..", "1.", 1},               // no empty group
        {"1.2.", "1.2.", 0},            // a beginning stays as typed
        {"1.2.3.4.5.", "1.2.3.4.5", 1}, // no fifth dot
        {"1.2.3.4.256", "1.2.3.4.25", 1},
        {"0255", "0255", 0},            // only a group's first four digits count
        {"1a 2", "12", 2},
    };
    for (const auto& [keys, kept, beeps] : cases) {
        EXPECT_EQ(TypeIdentity(keys), std::make_pair(kept, beeps)) << keys.toStdString();
    }
    EXPECT_FALSE(subscriptions::IsValidIdentityText(""));
}

TEST_F(SubscriptionEditDialogTest, OkReturnsTheFieldsWithTheUakPresetAndTheUakStopsAt47) {
    EXPECT_EQ(dialog.windowTitle(), "Subscript #3");
    // The identity has the focus first; Tab then goes over the buttons to S/N and Comment.
    EXPECT_EQ(dialog.focusWidget(), dialog.edIP);
    const QWidget* order[] = {dialog.edIP, dialog.edUAK, dialog.BitBtn1, dialog.btnOK, dialog.edDeviceSN,
                              dialog.edComment};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1]) << i;
    EXPECT_FALSE(dialog.edUAK->isVisibleTo(&dialog));
    // An empty field and 0.0.0.0.0 clear the slot, and 0255 counts as 255: OK takes them.
    for (const char* accepted : {"", "0.0.0.0.0", "0255.1.2.3.4"}) {
        dialog.setResult(QDialog::Rejected);
        TypeIdentity(accepted);
        dialog.btnOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << accepted;
    }
    EXPECT_EQ(user.beeps, 0);
    // A beginning of an identity is not one: OK keeps the dialog open and says why.
    dialog.setResult(QDialog::Rejected);
    TypeIdentity("10.20");
    dialog.btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog.lbIdentityHint->isVisibleTo(&dialog));
    EXPECT_EQ(user.beeps, 1);
    QTest::keyClicks(dialog.edIP, ".30.40.50");
    dialog.edDeviceSN->selectAll();
    QTest::keyClicks(dialog.edDeviceSN, "SN-2");
    dialog.btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.edUAK->text(), Tfm_Subscript::kUakPreset);
    EXPECT_EQ(dialog.edUAK->text().size(), Tfm_Subscript::kUakLength);
    const features::SubscriptionEdit fields = dialog.Fields();
    EXPECT_EQ(fields.identity, "10.20.30.40.50");
    EXPECT_EQ(fields.serialNumber, "SN-2");
    // Shown as written, and kept byte for byte since the user left it alone.
    EXPECT_EQ(dialog.edComment->text(), QString::fromUtf8("Halle S\u00FCd"));
    EXPECT_EQ(fields.comment, "Halle S\xFC" "d");

    const int before = user.beeps;
    QTest::keyClicks(dialog.edUAK, "x");
    EXPECT_EQ(dialog.edUAK->text().size(), Tfm_Subscript::kUakLength);
    EXPECT_EQ(user.beeps, before + 1);
    QTest::keyClick(dialog.edUAK, Qt::Key_Backspace);
    EXPECT_EQ(dialog.edUAK->text().size(), Tfm_Subscript::kUakLength - 1);
}

}  // namespace
}  // namespace morvik::app
