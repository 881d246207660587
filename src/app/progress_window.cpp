#include "app/progress_window.h"

#include <QCloseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace morvik::app {

Tfm_Progress::Tfm_Progress(QWidget* mainWindow, channel::Progress& progress,
                           std::function<void()> onCancel)
    : QDialog(mainWindow, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                              Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      progress_(progress),
      onCancel_(std::move(onCancel)) {
    setObjectName("fmProgress");
    setWindowTitle(tr("The Morvik is in Progress"));
    setModal(false);

    Bar = new QProgressBar(this);
    Bar->setTextVisible(false);
    Bar->setMinimumSize(241, 25);
    bnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Cancel"), this);
    bnCancel->setMinimumSize(75, 25);
    connect(bnCancel, &QPushButton::clicked, this, &Tfm_Progress::bnCancelClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(Bar);
    layout->addWidget(bnCancel, 0, Qt::AlignHCenter);
    setFixedSize(std::max(254, sizeHint().width()), std::max(82, sizeHint().height()));

    QPointer<Tfm_Progress> self(this);
    progress_.state.Subscribe([self](const channel::ProgressState& state) {
        if (self) self->Render(state);
    });
    Render(progress_.state.Get());
}

void Tfm_Progress::Render(const channel::ProgressState& state) {
    if (!state.caption.empty()) setWindowTitle(QString::fromStdString(state.caption));
    Bar->setMaximum(state.maximum);
    Bar->setValue(state.position);
    if (state.visible && !isVisible()) {
        CentreOnMainWindow();
        show();
    } else if (!state.visible && isVisible()) {
        hide();
    }
}

void Tfm_Progress::CentreOnMainWindow() {
    const QWidget* owner = parentWidget();
    if (owner == nullptr) return;
    const QRect frame = owner->frameGeometry();
    move(frame.center() - rect().center());
}

void Tfm_Progress::bnCancelClick() {
    progress_.HideProgress();
    if (onCancel_) onCancel_();
}

void Tfm_Progress::closeEvent(QCloseEvent* event) {
    progress_.HideProgress();
    event->accept();
}

void Tfm_Progress::reject() { progress_.HideProgress(); }

}  // namespace morvik::app
