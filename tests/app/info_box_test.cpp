#include "app/info_box.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace morvik::app {
namespace {

QStringList Texts(const TInfoBox& box) {
    return {box.lbProductName->text(), box.lbVersion->text(), box.lbCopyright->text(), box.lbComments->text(),
            box.lbTrademark->text()};
}

TEST(InfoBox, ShowsTheVersionRecordAndLeavesMissingKeysEmpty) {
    const TInfoBox program(nullptr);
    EXPECT_EQ(Texts(program).mid(0, 2), (QStringList{"Morvik II", "1.0.9.0"}));
    for (const QString& text : Texts(program)) EXPECT_FALSE(text.isEmpty());

    const TInfoBox partial(nullptr, {{"ProductName", "Morvik II"}, {"FileVersion", "2.0.0.1"}, {"Other", "x"}});
    EXPECT_EQ(Texts(partial), (QStringList{"Morvik II", "2.0.0.1", "", "", ""}));
    EXPECT_EQ(Texts(TInfoBox(nullptr, {})), (QStringList{"", "", "", "", ""}));
}

// Records the addresses the box asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void Open(const QUrl& url) { opened << url; }
};

TEST(InfoBox, RightClickOnTheVersionRevealsTheMemoUntilTheNextShow) {
    TInfoBox box(nullptr, {{"FileVersion", "1.0.9.0"}, {"Comments", "https://example.org/morvik"}});
    box.show();
    EXPECT_FALSE(box.VersionsInfo->isVisible());
    QTest::mouseClick(box.lbVersion, Qt::LeftButton);
    EXPECT_FALSE(box.VersionsInfo->isVisible());
    QTest::mouseClick(box.lbVersion, Qt::RightButton);
    EXPECT_TRUE(box.VersionsInfo->isVisible());
    EXPECT_EQ(box.VersionsInfo->geometry(), box.Panel->contentsRect()) << "it covers the panel";
    EXPECT_TRUE(box.VersionsInfo->toPlainText().startsWith("P\nr\no\ng"));

    box.OKButton->click();
    EXPECT_FALSE(box.isVisible());
    box.show();
    EXPECT_FALSE(box.VersionsInfo->isVisible());

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "Open");
    QTest::mouseClick(box.lbComments, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl("https://example.org/morvik")});
}

}  // namespace
}  // namespace morvik::app

#include "info_box_test.moc"
