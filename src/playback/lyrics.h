#pragma once

#include <QWidget>

class QMenu;
class QTextEdit;
class TSysInfo;

// The lyrics window: a small tool window on top of the main window that
// shows lyrics one line per text line, in the font, size and colour of the
// settings. At most one exists; it is hidden, not destroyed, when closed.
class TFormLyrics : public QWidget {
    Q_OBJECT
public:
    TFormLyrics(TSysInfo& settings, QWidget* owner);

    // Places the window beside the main window's track list: top = listTop
    // (the track list's top within the main window's client area) + the
    // frame's top + 70, height = listHeight - 40, left = the frame's right
    // edge - the window's width - 10.
    void PlaceBeside(const QRect& mainFrame, int listTop, int listHeight);
    // Lyrics as stored, lines separated by the two characters "\n".
    void SetLyricsText(const QString& text);
    // Applies "lyrics.font", "lyrics.size" and "lyrics.color".
    void FormShow();

    QTextEdit* RichEdit1() const { return richEdit_; }
    QMenu* ContextMenu() const { return menu_; }

    void SelectAll1Click();
    void Copy1Click();
    void Close1Click();
    // The options dialog on its lyrics page; OK applies the font settings.
    void Setting1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TSysInfo& settings_;
    QTextEdit* richEdit_ = nullptr;
    QMenu* menu_ = nullptr;
};
