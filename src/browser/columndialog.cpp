#include "browser/columndialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

TFormColumn::TFormColumn(QWidget* parent, const QStringList& shown) : QDialog(parent) {
    setObjectName("FormColumn");
    setWindowTitle("显示列设置");
    setFixedSize(322, 404);
    auto* frame = new QGroupBox("显示列", this);
    auto* grid = new QGridLayout(frame);
    const char* left[] = {"标题", "表演者", "专集", "年份", "乐派", "大小", "时长"};
    const char* right[] = {"码率", "采样率", "声道", "注释", "修改时间"};
    auto add = [&](const char* caption, int row, int column) {
        auto* box = new QCheckBox(QString::fromUtf8(caption), frame);
        box->setChecked(shown.contains(box->text()));
        grid->addWidget(box, row, column);
        boxes_[box->text()] = box;
    };
    for (int i = 0; i < 7; ++i) add(left[i], i, 0);
    for (int i = 0; i < 5; ++i) add(right[i], i, 1);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("确定", QDialogButtonBox::AcceptRole)->setObjectName("ButtonOK");
    buttons->addButton("取消", QDialogButtonBox::RejectRole)->setObjectName("ButtonCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addWidget(buttons);
}

QCheckBox* TFormColumn::Box(const QString& caption) const {
    const auto found = boxes_.find(caption);
    return found == boxes_.end() ? nullptr : found->second;
}

bool TFormColumn::Checked(const QString& caption) const {
    const QCheckBox* box = Box(caption);
    return box != nullptr && box->isChecked();
}
