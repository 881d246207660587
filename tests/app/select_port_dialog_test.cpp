#include "app/select_port_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace morvik::app {
using namespace comm;
namespace {

TEST(ComSelectForm, ListsThePresentPortsWithPathsAndYieldsTheChosenNumber) {
    TComSelectForm form({{3, "/dev/ttyS2"}, {12, "/dev/pts/4"}});
    EXPECT_EQ(form.windowTitle(), "Select Port");
    ASSERT_EQ(form.cbPorts->count(), 2);
    EXPECT_EQ(form.cbPorts->itemText(0), "COM3 (/dev/ttyS2)");
    EXPECT_EQ(form.cbPorts->itemText(1), "COM12 (/dev/pts/4)");
    platform::SerialDeviceMap devices;
    EXPECT_EQ(form.ChosenPort(devices), 3) << "the first entry is selected";
    form.cbPorts->setCurrentIndex(1);
    EXPECT_EQ(form.ChosenPort(devices), 12);
    form.cbPorts->setEditText(" /dev/pts/9 ");
    EXPECT_EQ(form.ChosenPort(devices), 99) << "a typed path is bound to a free number";
    EXPECT_EQ(devices.Lookup(99), "/dev/pts/9");
    EXPECT_TRUE(form.OKBtn->isDefault());
    QStringList texts;
    for (const QLabel* label : form.findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.contains("The configured serial port is not valid."));
    EXPECT_TRUE(texts.contains("Please choose another port."));
}

TEST(ComSelectForm, WithoutPresentPortsNothingCanBeChosen) {
    TComSelectForm form({});
    EXPECT_EQ(form.cbPorts->count(), 0);
    EXPECT_FALSE(form.OKBtn->isEnabled());
    platform::SerialDeviceMap devices;
    EXPECT_EQ(form.ChosenPort(devices), std::nullopt);
    form.cbPorts->setEditText("/dev/ttyUSB0");
    EXPECT_TRUE(form.OKBtn->isEnabled()) << "a typed path can be confirmed";
}

}  // namespace
}  // namespace morvik::app
