#pragma once

#include <QDialog>
#include <QStringList>
#include <map>

class QCheckBox;

// The column dialog: one check box per column of the track list.
class TFormColumn : public QDialog {
    Q_OBJECT
public:
    // shown: the captions of the columns the list shows now.
    TFormColumn(QWidget* parent, const QStringList& shown);

    bool Checked(const QString& caption) const;
    QCheckBox* Box(const QString& caption) const;

private:
    std::map<QString, QCheckBox*> boxes_;
};
