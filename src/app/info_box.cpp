#include "app/info_box.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "app/pictures.h"

namespace morvik::app {

namespace {

QLabel* Label(QWidget* parent, const QRect& geometry, int pixelSize, bool bold) {
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

// One character per line, words apart by an empty line.
QString ProgrammingInfo() {
    QString text;
    for (const QString& word : {QStringLiteral("Programming Info:"), QStringLiteral("Version"), QStringLiteral("1.00")}) {
        for (const QChar character : word) text += QString(character) + '\n';
        text += '\n';
    }
    return text;
}

}  // namespace

TInfoBox::TInfoBox(QWidget* parent, const platform::VersionRecord& record)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    setObjectName("InfoBox");
    setWindowTitle(tr("Info"));
    setFixedSize(271, 229);

    Panel = new QFrame(this);
    Panel->setGeometry(8, 6, 257, 171);
    Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel->setLineWidth(2);

    ProgramIcon = new QLabel(Panel);
    ProgramIcon->setGeometry(16, 8, 73, 73);
    ProgramIcon->setPixmap(ProgramIconPicture().scaled(73, 73, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    ProgramIcon->setAlignment(Qt::AlignCenter);

    lbProductName = Label(Panel, QRect(118, 8, 115, 33), 19, true);
    lbProductName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lbVersion = Label(Panel, QRect(118, 42, 107, 13), 13, true);
    lbVersion->installEventFilter(this);

    auto* rule = new QFrame(Panel);
    rule->setGeometry(8, 88, 241, 2);
    rule->setFrameStyle(QFrame::HLine | QFrame::Raised);

    lbCopyright = Label(Panel, QRect(10, 98, 231, 15), 11, false);
    lbComments = Label(Panel, QRect(12, 115, 229, 15), 11, true);
    QFont link = lbComments->font();
    link.setUnderline(true);
    lbComments->setFont(link);
    // Navy on a light background; on a dark one the theme's own link colour, which stays readable.
    QPalette linkColours = lbComments->palette();
    const bool lightBackground = linkColours.color(QPalette::Window).lightness() > 128;
    linkColours.setColor(QPalette::WindowText, lightBackground ? QColor(Qt::darkBlue) : linkColours.color(QPalette::Link));
    lbComments->setPalette(linkColours);
    lbComments->setCursor(Qt::PointingHandCursor);
    lbComments->installEventFilter(this);
    lbTrademark = Label(Panel, QRect(10, 132, 231, 30), 11, false);
    lbTrademark->setWordWrap(true);
    for (QLabel* centred : {lbCopyright, lbComments, lbTrademark}) centred->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    VersionsInfo = new QPlainTextEdit(Panel);
    VersionsInfo->setReadOnly(true);
    VersionsInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    VersionsInfo->setPlainText(ProgrammingInfo());
    VersionsInfo->hide();

    OKButton = new QPushButton(tr("OK"), this);
    OKButton->setGeometry(103, 190, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::hide);

    FormCreate(record);
}

void TInfoBox::FormCreate(const platform::VersionRecord& record) {
    const auto value = [&record](const char* key) { return QString::fromStdString(platform::GetVersionValue(record, key)); };
    lbProductName->setText(value("ProductName"));
    lbVersion->setText(value("FileVersion"));
    lbCopyright->setText(value("LegalCopyright"));
    lbComments->setText(value("Comments"));
    lbTrademark->setText(value("LegalTrademarks"));
}

void TInfoBox::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TInfoBox::FormShow() {
    VersionsInfo->hide();
    VersionsInfo->setGeometry(Panel->contentsRect());
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

bool TInfoBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if (watched == lbVersion) lbVersionMouseDown(button);
        if (watched == lbComments && button == Qt::LeftButton) lbCommentsClick();
    }
    return QDialog::eventFilter(watched, event);
}

void TInfoBox::lbVersionMouseDown(Qt::MouseButton button) {
    if (button != Qt::RightButton) return;
    VersionsInfo->show();
    VersionsInfo->raise();
}

void TInfoBox::lbCommentsClick() {
    // The desktop's handler for web addresses opens the page; a failure is not reported.
    QDesktopServices::openUrl(QUrl(lbComments->text()));
}

}  // namespace morvik::app
