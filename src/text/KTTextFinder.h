#pragma once

#include "core/Range.h"
#include "platform/ActionSheet.h"
#include "platform/ViewController.h"
#include "text/KTFindIndicator.h"
#include "text/KTTextFinderMatcher.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class KTTextView;
class PopoverController;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QVariantAnimation;

// The one find bar of the program. It searches the whole text of its text view for every
// occurrence of the find field's text (plain and case-insensitive unless told otherwise, or an
// ICU regular expression), 0.75 s after the last keystroke, and steps through the matches with
// wrap-around, scrolling each into view and flashing it. "Replace" replaces the match shown
// with the replace field's text through the view's edit routine and steps on; "Replace All"
// replaces every match as one undoable edit.
//
// On Linux the bar docks at the bottom of the window it is shown in, over the full width, and
// leaves when Escape is pressed, when editing goes back to a text view, or on hide().
class KTTextFinder : public QWidget, private ActionSheetDelegate {
    Q_OBJECT
public:
    enum Mode : int32_t { Find = 0, FindAndReplace = 1 };

    static KTTextFinder* sharedTextFinder();
    ~KTTextFinder() override;

    // Docks the bar in the key window, focuses the find field and collects the matches again.
    void show();
    void hide();

    KTTextView* textView() const { return textView_; }
    // Another view: the matches of the old one mean nothing there, so they are collected again.
    void setTextView(KTTextView* textView);

    int32_t mode() const { return mode_; }
    void setMode(int32_t mode);

    uint32_t compareOptions() const { return compareOptions_; }
    void setCompareOptions(uint32_t options);

    QLineEdit* findField() const { return findInput_; }
    QLineEdit* replaceField() const { return replaceInput_; }
    QPushButton* previousButton() const { return previousButton_; }
    QPushButton* nextButton() const { return nextButton_; }
    QPushButton* replaceButton() const { return replaceButton_; }
    QPushButton* settingsButton() const { return settingsButton_; }

    // The matches collected last and the one shown (NSNotFound before any step).
    const QList<NSRange>& matches() const { return cursor_.matches(); }
    NSRange shownMatch() const { return shownMatch_; }
    // What the bar tells the user under its fields: an invalid pattern, a stopped search, how
    // many "Replace All" replaced. Empty when there is nothing to say.
    QString statusText() const;
    // Whether the find field is marked as holding an invalid or runaway pattern.
    bool isFindFieldMarked() const { return findFieldMarked_; }

    // Collects the matches now (what the 0.75 s pause leads to) and shows the first step.
    void _reset();
    // 0 backward, 1 forward.
    void _findInDirection(int direction);
    void _replace();
    // Answers how many matches were replaced.
    int _replaceAll();
    void _showSettingsMenu();
    // Holding "Replace" offers "Replace All" in a menu over the control.
    void _showReplaceMenu();
    ActionSheet* replaceMenu() const { return replaceMenu_; }

    // The indicator of the match shown last (owned by the view it is in).
    // The indicator the current text view shows for the current match.
    KTFindIndicator* findIndicator() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KTTextFinder();
    void layoutControls();
    void scheduleReset();
    void setStatus(const QString& text, bool markField);
    void updateNavigation();
    void showMatch(NSRange range);
    void dock();
    void actionSheetClickedButtonAtIndex(ActionSheet* sheet, int index) override;

    int32_t mode_ = Find;
    QPointer<KTTextView> textView_;
    uint32_t location_ = 0;
    uint32_t compareOptions_ =
        KTTextFinderMatcher::CaseInsensitiveSearch | KTTextFinderMatcher::LiteralSearch;

    QPushButton* settingsButton_ = nullptr;
    QWidget* inputContainer_ = nullptr;
    QLineEdit* findInput_ = nullptr;
    QLineEdit* replaceInput_ = nullptr;
    QPushButton* replaceButton_ = nullptr;
    QPushButton* previousButton_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QTimer* resetTimer_ = nullptr;
    QTimer* replaceHoldTimer_ = nullptr;
    QPointer<QVariantAnimation> modeAnimation_;
    qreal replaceAlpha_ = 0;

    KTTextFinderMatchCursor cursor_;
    NSRange shownMatch_{NSNotFound, 0};
    bool findFieldMarked_ = false;
    QPointer<PopoverController> popover_;
    QPointer<ActionSheet> replaceMenu_;
};

// The options popover: "Find" / "Find and Replace", then "Match Case" and "Regular
// Expressions" switches that act on the shared finder.
class KTTextFinderSettingsViewController : public ViewController {
    Q_OBJECT
public:
    explicit KTTextFinderSettingsViewController(QObject* parent = nullptr);
    // Rebuilds the check marks and switches from the shared finder.
    void reloadData();

protected:
    QWidget* loadView() override;
    QSizeF defaultContentSizeForViewInPopover() const override { return {320, 230}; }

private:
    QList<QPushButton*> modeRows_;
    QList<QPushButton*> switches_;
};
