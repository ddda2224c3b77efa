// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/StatusBarView.h"

#include "gui/shell/LogExport.h"
#include "gui/shell/StatusBarViewModel.h"
#include "gui/support/PopupPlacement.h"
#include "gui/support/TextStyles.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

// The watcher's name first, its state after it.
class NameThenStateDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationPosition = QStyleOptionViewItem::Right;
        option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    }

    // A divider under every row but the last, so the rows read apart.
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.row() + 1 >= index.model()->rowCount(index.parent()))
            return;
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft() + QPoint(0, 2),
                          option.rect.bottomRight() + QPoint(0, 2));
        painter->restore();
    }
};

QPushButton *button(const QString &text)
{
    auto *made = new QPushButton(text);
    made->setAccessibleName(text);
    return made;
}

} // namespace

StatusBarView::StatusBarView(StatusBarViewModel &model, std::function<void()> openApp,
                             std::function<void()> closeApp, QWidget *parent)
    : QWidget(parent, Qt::Popup)
    , m_list(new QListView)
    , m_openApp(button(QStringLiteral("Open App")))
    , m_closeApp(button(QStringLiteral("Close App")))
    , m_exportLog(button(QStringLiteral("Export log")))
{
    setFixedSize(350, 350);
    setAccessibleName(QStringLiteral("Sprucer status"));

    QLabel *title = TextStyles::label(QStringLiteral("Watchers you have"),
                                      TextStyles::Style::title2, QFont::Bold);

    m_list->setModel(&model);
    m_list->setItemDelegate(new NameThenStateDelegate(m_list));
    m_list->setIconSize(QSize(16, 16));
    m_list->setSpacing(3);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setAccessibleName(QStringLiteral("Watchers"));

    connect(m_openApp, &QPushButton::clicked, this, [this, openApp = std::move(openApp)] {
        hide();
        if (openApp)
            openApp();
    });
    connect(m_closeApp, &QPushButton::clicked, this, [this, closeApp = std::move(closeApp)] {
        hide();
        if (closeApp)
            closeApp();
    });
    connect(m_exportLog, &QPushButton::clicked, this, [this] {
        hide();
        LogExport::exportLogs(nullptr);
    });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_openApp);
    buttons->addWidget(m_closeApp);
    buttons->addWidget(m_exportLog);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
}

void StatusBarView::toggleNear(const QRect &anchor)
{
    if (isVisible()) {
        hide();
        return;
    }
    // Below the icon when there is room; above it on a bottom panel.
    move(popupOrigin(anchor, size()));
    show();
    activateWindow();
    m_openApp->setFocus();
}
