#pragma once

#include "core/Range.h"
#include "syntax/KTSyntaxDefinitionDescriptor.h"
#include "syntax/KTSyntaxDescriptor.h"
#include "text/KTFindIndicator.h"
#include "text/KTTextView.h"

#include <QPointer>
#include <QRectF>

#include <functional>
#include <optional>

#include "editor/KTCodeInputAccessoryView.h"
class KTSyntaxEngine;
class QTimer;

// The text view of an open file: it carries the syntax engine and asks it to recolour 0.5 s
// after the last edit or scroll, indents a new line like the one before, flashes the opening
// bracket that a typed closing one matches, highlights the caret's line, switches soft
// wrapping, walks the hard lines with their rectangles and scrolls to a line number.
class KTCodeView : public KTTextView {
    Q_OBJECT
public:
    // (line range, line rectangle, line number from 1, stop flag)
    using LineBlock = std::function<void(NSRange, const QRectF&, uint32_t, bool*)>;

    explicit KTCodeView(QWidget* parent = nullptr);
    ~KTCodeView() override;

    KTSyntaxEngine* syntaxEngine() const { return syntaxEngine_; }
    // Gives the engine this view's definition (the chosen one, else the one for the file type)
    // and then this view's store.
    void setSyntaxEngine(KTSyntaxEngine* engine);
    KTSyntaxDescriptor& syntaxDescriptor() { return syntaxDescriptor_; }
    const std::optional<KTSyntaxDefinitionDescriptor>& syntaxDefinitionDescriptor() const {
        return syntaxDefinitionDescriptor_;
    }
    void setSyntaxDefinitionDescriptor(const std::optional<KTSyntaxDefinitionDescriptor>& d);

    // Typing with the code view's rules (indentation on return, bracket matching), then the
    // base edit routine.
    void insertText(const QString& text) override;
    void didChangeText() override;

    bool isSoftWrappingEnabled() const { return softWrapping_; }
    void setSoftWrappingEnabled(bool enabled);

    // Lines (each with its terminator) that start at or after the range's location, up to the
    // range's end. A location of NSNotFound means the whole text.
    void enumerateHardLinesInRange(NSRange range, const LineBlock& block);
    void enumerateHardLinesWithBlock(const LineBlock& block);
    // Centres the line in the view and puts the caret at its start 0.5 s later; a number past
    // the last line (or 0) does nothing. Answers whether the line exists.
    bool scrollToLineNumber(uint32_t lineNumber, bool animated);

    // The colour of the current-line band for the theme's background.
    static QColor currentLineColorForBackground(const QColor& background);
    // The caret's line band in content coordinates, when the selection is an empty caret.
    std::optional<QRectF> currentLineRect();

    void drawRect(const QRectF& rect, QPainter* painter) override;
    void updateInsertionPointStateAndRestartTimer(bool restartFlag) override;

    // The pending re-parse request, if any (one at most).
    bool isParsePending() const;
    KTCodeInputAccessoryView* codeInputAccessoryView() const { return accessory_; }

    // How many times the alert sound was played for an unmatched closing bracket.
    int alertSoundCount() const { return alertSounds_; }

Q_SIGNALS:
    void parseRequested();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setNeedsParse();
    void showAccessory();
    void hideAccessory();
    void placeAccessory();
    void matchBracket(QChar closing, uint32_t location);

    KTSyntaxDescriptor syntaxDescriptor_;
    std::optional<KTSyntaxDefinitionDescriptor> syntaxDefinitionDescriptor_;
    KTSyntaxEngine* syntaxEngine_ = nullptr;
    QTimer* parseTimer_ = nullptr;
    QTimer* jumpSelectionTimer_ = nullptr;
    uint32_t jumpLocation_ = 0;
    bool softWrapping_ = true;
    QPointer<KTCodeInputAccessoryView> accessory_;
    int alertSounds_ = 0;
    // A line start already walked to and its number: the margin's walks through a long text
    // resume from it instead of from the top. Dropped when characters change at or before it.
    uint32_t checkpointLocation_ = 0;
    uint32_t checkpointNumber_ = 1;
};
