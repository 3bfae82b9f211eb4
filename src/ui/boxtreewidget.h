#pragma once

#include <QTreeWidget>

// The box tree's widget: a QTreeWidget that draws its rows itself in the
// fixed list colours (ListColours), with connector lines between the nodes
// and round expand buttons. Everything else (selection, editing, keyboard)
// is the QTreeWidget's own.
class TBoxTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    explicit TBoxTreeWidget(QWidget* parent = nullptr);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The tree lines: the node's connector, its expand button and the lines
    // of the ancestors that continue below.
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
};
