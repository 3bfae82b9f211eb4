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

    // Places the window over the right of the main window's track list and
    // information panel (`listArea`, on the screen): 20 pixels inside it at
    // the top and at the bottom, 10 inside the frame's right edge.
    void PlaceBeside(const QRect& mainFrame, const QRect& listArea);
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
