#include "editor/KTCodeView.h"

#include "core/UIColorKT.h"
#include "editor/KTCodeInputAccessoryView.h"
#include "syntax/KTSyntaxDefinition.h"
#include "syntax/KTSyntaxEngine.h"
#include "text/KTLayoutManager.h"
#include "text/KTTextContainer.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

namespace {

constexpr int kParseDelayMs = 500;
constexpr int kAccessoryHeight = 44;

QChar openingFor(QChar closing) {
    switch (closing.unicode()) {
    case ')':
        return QLatin1Char('(');
    case ']':
        return QLatin1Char('[');
    case '}':
        return QLatin1Char('{');
    case '>':
        return QLatin1Char('<');
    default:
        return QChar();
    }
}

} // namespace

KTCodeView::KTCodeView(QWidget* parent) : KTTextView(parent) {
    setObjectName(QStringLiteral("KTCodeView"));
    parseTimer_ = new QTimer(this);
    parseTimer_->setSingleShot(true);
    parseTimer_->setInterval(kParseDelayMs);
    connect(parseTimer_, &QTimer::timeout, this, [this] {
        Q_EMIT parseRequested();
        // The shared engine may have moved on to another document's store meanwhile.
        if (syntaxEngine_ && syntaxEngine_->textStorage() == textStorage())
            syntaxEngine_->setNeedsParse();
    });
    jumpSelectionTimer_ = new QTimer(this);
    jumpSelectionTimer_->setSingleShot(true);
    jumpSelectionTimer_->setInterval(500);
    connect(jumpSelectionTimer_, &QTimer::timeout, this, [this] {
        if (jumpLocation_ <= textStorage()->length())
            setSelectedRange(NSMakeRange(jumpLocation_, 0));
    });
    connect(textStorage(), &KTTextStorage::didProcessEditing, this, [this](KTTextStorage* store) {
        if ((store->editedMask() & KTTextStorageEditedCharacters) &&
            store->editedRange().location <= checkpointLocation_) {
            checkpointLocation_ = 0;
            checkpointNumber_ = 1;
        }
    });
    textInputTraits().autocapitalizationType = 0;
    setSoftWrappingEnabled(true);
}

KTCodeView::~KTCodeView() {
    if (syntaxEngine_ && syntaxEngine_->textStorage() == textStorage())
        syntaxEngine_->setTextStorage(nullptr);
    delete accessory_.data();
}

// Syntax

void KTCodeView::setSyntaxEngine(KTSyntaxEngine* engine) {
    syntaxEngine_ = engine;
    if (!engine)
        return;
    std::shared_ptr<KTSyntaxDefinition> definition =
        syntaxDefinitionDescriptor_
            ? KTSyntaxDefinition::syntaxDefinitionForSyntaxDefinitionDescriptor(
                  *syntaxDefinitionDescriptor_)
            : KTSyntaxDefinition::syntaxDefinitionForSyntaxDescriptor(syntaxDescriptor_);
    engine->setSyntaxDefinition(definition);
    engine->setTextStorage(textStorage());
}

void KTCodeView::setSyntaxDefinitionDescriptor(
    const std::optional<KTSyntaxDefinitionDescriptor>& descriptor) {
    syntaxDefinitionDescriptor_ = descriptor;
}

void KTCodeView::setNeedsParse() {
    // One request at most: a new edit or scroll moves the pending one to 0.5 s from now.
    parseTimer_->start();
}

bool KTCodeView::isParsePending() const {
    return parseTimer_->isActive();
}

void KTCodeView::didChangeText() {
    KTTextView::didChangeText();
    setNeedsParse();
}

void KTCodeView::resizeEvent(QResizeEvent* event) {
    KTTextView::resizeEvent(event);
    setNeedsParse();
}

void KTCodeView::scrollContentsBy(int dx, int dy) {
    KTTextView::scrollContentsBy(dx, dy);
    setNeedsParse();
}

// Typing

void KTCodeView::insertText(const QString& text) {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound || selection.location == 0) {
        KTTextView::insertText(text);
        return;
    }
    if (text == QLatin1String("\n")) {
        KTTextStorage* storage = textStorage();
        const NSRange line = storage->lineRangeForRange(NSMakeRange(selection.location - 1, 0));
        uint32_t end = line.location;
        const uint32_t lineEnd = NSMaxRange(line);
        while (end < lineEnd) {
            const QChar c = storage->characterAtIndex(end);
            if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
                break;
            ++end;
        }
        const QString indentation =
            storage->substringWithRange(NSMakeRange(line.location, end - line.location));
        KTTextView::insertText(text + indentation);
        return;
    }
    if (text.size() == 1 && !openingFor(text.at(0)).isNull())
        matchBracket(text.at(0), selection.location);
    KTTextView::insertText(text);
}

void KTCodeView::matchBracket(QChar closing, uint32_t location) {
    const QChar opening = openingFor(closing);
    KTTextStorage* storage = textStorage();
    int depth = 1;
    for (int64_t index = int64_t(location) - 1; index >= 0; --index) {
        const QChar c = storage->characterAtIndex(uint32_t(index));
        if (c == closing)
            ++depth;
        else if (c == opening)
            --depth;
        if (depth == 0) {
            showFindIndicatorForRange(NSMakeRange(uint32_t(index), 1));
            return;
        }
    }
    // No opener: the alert sound (the platform's vibration has no counterpart here).
    ++alertSounds_;
    QApplication::beep();
}

// Wrapping

void KTCodeView::setSoftWrappingEnabled(bool enabled) {
    softWrapping_ = enabled;
    KTTextContainer* container = textContainer();
    if (enabled) {
        setHorizontallyResizable(false);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setMaxSize(QSizeF(viewport()->width(), KTTextContainerUnlimited));
        if (container) {
            container->setWidthTracksTextView(true);
            container->setContainerSize(QSizeF(viewport()->width(), KTTextContainerUnlimited));
        }
    } else {
        setHorizontallyResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setMaxSize(QSizeF(KTTextContainerUnlimited, KTTextContainerUnlimited));
        if (container) {
            container->setWidthTracksTextView(false);
            container->setContainerSize(QSizeF(KTTextContainerUnlimited, KTTextContainerUnlimited));
        }
    }
    sizeToFit();
    setNeedsDisplay();
}

// Lines

void KTCodeView::enumerateHardLinesInRange(NSRange range, const LineBlock& block) {
    KTTextStorage* storage = textStorage();
    const uint32_t length = storage->length();
    // The whole text: every line starts at or after 0.
    const uint32_t from = range.location == NSNotFound ? 0 : range.location;
    const uint32_t end =
        range.location == NSNotFound ? length : std::min(length, NSMaxRange(range));
    uint32_t index = 0;
    uint32_t lineNumber = 1;
    if (checkpointLocation_ <= from && checkpointLocation_ <= length) {
        index = checkpointLocation_;
        lineNumber = checkpointNumber_;
    }
    bool checkpointMoved = false;
    while (index < end) {
        const NSRange line = storage->lineRangeForRange(NSMakeRange(index, 0));
        if (line.location >= from) {
            if (!checkpointMoved) {
                checkpointMoved = true;
                checkpointLocation_ = line.location;
                checkpointNumber_ = lineNumber;
            }
            const std::optional<QRectF> rect =
                layoutManager()->boundingRectForGlyphRange(line, textContainer());
            bool stop = false;
            block(line, rect.value_or(QRectF()), lineNumber, &stop);
            if (stop)
                return;
        }
        const uint32_t next = NSMaxRange(line);
        if (next <= index)
            break;
        index = next;
        ++lineNumber;
    }
}

void KTCodeView::enumerateHardLinesWithBlock(const LineBlock& block) {
    enumerateHardLinesInRange(NSMakeRange(NSNotFound, 0), block);
}

bool KTCodeView::scrollToLineNumber(uint32_t lineNumber, bool animated) {
    bool found = false;
    enumerateHardLinesWithBlock(
        [&](NSRange line, const QRectF& lineRect, uint32_t number, bool* stop) {
            if (number != lineNumber)
                return;
            *stop = true;
            found = true;
            const qreal grow = (viewport()->height() - lineRect.height()) / 2;
            QRectF target = lineRect.adjusted(0, -grow, 0, grow);
            target.setX(0);
            target.setWidth(1);
            scrollRectToVisible(target, animated);
            jumpLocation_ = line.location;
            jumpSelectionTimer_->start();
        });
    return found;
}

// Current line

QColor KTCodeView::currentLineColorForBackground(const QColor& background) {
    const double factor = UIColorKT::isDark(background) ? 1.5 : 0.9;
    return UIColorKT::colorByMultiplyingByRed(background, factor, factor, factor, 1.0)
        .value_or(background);
}

std::optional<QRectF> KTCodeView::currentLineRect() {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound || selection.length != 0)
        return std::nullopt;
    const QRectF caret = caretRectForPosition(KTTextPosition{selection.location});
    const qreal width = std::max<qreal>(contentSize().width(), viewport()->width());
    return QRectF(0, caret.top(), width, caret.height());
}

void KTCodeView::drawRect(const QRectF& rect, QPainter* painter) {
    if (const auto line = currentLineRect()) {
        QColor background = backgroundColor();
        if (syntaxEngine_ && syntaxEngine_->syntaxTheme() &&
            syntaxEngine_->textStorage() == textStorage())
            background = syntaxEngine_->syntaxTheme()->backgroundColor();
        painter->fillRect(*line, currentLineColorForBackground(background));
    }
    KTTextView::drawRect(rect, painter);
}

void KTCodeView::updateInsertionPointStateAndRestartTimer(bool restartFlag) {
    KTTextView::updateInsertionPointStateAndRestartTimer(restartFlag);
    // The band follows the caret.
    setNeedsDisplay();
}

// Quick keys

void KTCodeView::focusInEvent(QFocusEvent* event) {
    KTTextView::focusInEvent(event);
    showAccessory();
}

void KTCodeView::focusOutEvent(QFocusEvent* event) {
    KTTextView::focusOutEvent(event);
    hideAccessory();
}

void KTCodeView::showAccessory() {
    QWidget* host = window();
    if (!host || host == this)
        return;
    if (!accessory_) {
        accessory_ = new KTCodeInputAccessoryView(QRect(0, 0, 768, kAccessoryHeight), host);
        accessory_->setOwner(this);
        setInputAccessoryView(accessory_);
        host->installEventFilter(this);
        if (QInputMethod* im = QGuiApplication::inputMethod())
            connect(im, &QInputMethod::keyboardRectangleChanged, accessory_,
                    [this] { placeAccessory(); });
    }
    placeAccessory();
    accessory_->show();
    accessory_->raise();
}

void KTCodeView::hideAccessory() {
    if (!accessory_)
        return;
    if (QWidget* host = accessory_->parentWidget())
        host->removeEventFilter(this);
    setInputAccessoryView(nullptr);
    accessory_->deleteLater();
    accessory_ = nullptr;
}

void KTCodeView::placeAccessory() {
    if (!accessory_)
        return;
    QWidget* host = accessory_->parentWidget();
    // Docked at the window's bottom, or above an on-screen keyboard when one is shown.
    int bottom = host->height();
    if (QInputMethod* im = QGuiApplication::inputMethod(); im && im->isVisible()) {
        const QRectF keyboard = im->keyboardRectangle();
        if (!keyboard.isEmpty())
            bottom = std::min(bottom, host->mapFromGlobal(keyboard.topLeft().toPoint()).y());
    }
    accessory_->setGeometry(0, bottom - kAccessoryHeight, host->width(), kAccessoryHeight);
}

bool KTCodeView::eventFilter(QObject* watched, QEvent* event) {
    if (accessory_ && watched == accessory_->parentWidget() && event->type() == QEvent::Resize)
        placeAccessory();
    return KTTextView::eventFilter(watched, event);
}
