#include "text/KTTextFinder.h"

#include "kit/KTPopoverController.h"
#include "platform/Animations.h"
#include "platform/Window.h"
#include "text/KTLayoutManager.h"
#include "text/KTTextStorage.h"
#include "text/KTTextView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <cmath>

namespace {

constexpr int kBarHeight = 52;
constexpr int kMargin = 4;
constexpr int kGap = 6;
constexpr int kSettingsWidth = 44;
constexpr int kNavigationWidth = 88;
constexpr int kReplaceWidth = 76;

QString barButtonStyle() {
    return QStringLiteral(
        "QPushButton { color: white; border: 1px solid #3c3c44; border-radius: 5px;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #a0a0a8, stop:1 #8b8b95);"
        " font-size: 15px; }"
        "QPushButton:pressed { background: #6c6c75; }"
        "QPushButton:disabled { color: #c8c8cc; }");
}

QString fieldStyle(bool marked) {
    return QStringLiteral("QLineEdit { border: 1px solid %1; border-radius: 6px;"
                          " background: white; padding: 2px 6px; font-size: 15px; }")
        .arg(marked ? QStringLiteral("#d0342c") : QStringLiteral("#7a7a80"));
}

// Scrolls the view so that the range's rectangle is visible, without animation.
void scrollRangeIntoView(KTTextView* view, NSRange range) {
    auto rect = view->layoutManager()->boundingRectForGlyphRange(range, view->textContainer());
    if (!rect)
        return;
    QRectF target = *rect;
    if (target.width() == 0)
        target.setWidth(2);
    const QRectF visible = view->bounds();
    QPointF offset = visible.topLeft();
    if (target.top() < visible.top())
        offset.setY(target.top());
    else if (target.bottom() > visible.bottom())
        offset.setY(target.bottom() - visible.height());
    if (target.left() < visible.left())
        offset.setX(target.left());
    else if (target.right() > visible.right())
        offset.setX(target.right() - visible.width());
    view->setContentOffset(offset);
}

// Replacements go through the view's edit routine so that they can be undone.
void replaceInView(KTTextView* view, NSRange range, const QString& text) {
    view->replaceRange(KTTextRange::fromRange(range), text);
}

} // namespace

KTTextFinder* KTTextFinder::sharedTextFinder() {
    static QPointer<KTTextFinder> shared;
    if (!shared)
        shared = new KTTextFinder();
    return shared;
}

KTTextFinder::KTTextFinder() : QWidget(nullptr) {
    setObjectName(QStringLiteral("KTTextFinder"));
    setGeometry(0, 100000, 768, kBarHeight);
    setAttribute(Qt::WA_TranslucentBackground);

    settingsButton_ = new QPushButton(QStringLiteral("\u2699"), this);
    settingsButton_->setObjectName(QStringLiteral("settings"));
    settingsButton_->setFocusPolicy(Qt::NoFocus);
    connect(settingsButton_, &QPushButton::clicked, this, [this] { _showSettingsMenu(); });

    inputContainer_ = new QWidget(this);
    findInput_ = new QLineEdit(inputContainer_);
    findInput_->setObjectName(QStringLiteral("find"));
    findInput_->setPlaceholderText(QStringLiteral("Find"));
    replaceInput_ = new QLineEdit(inputContainer_);
    replaceInput_->setObjectName(QStringLiteral("replace"));
    replaceInput_->setPlaceholderText(QStringLiteral("Replace"));
    for (QLineEdit* field : {findInput_, replaceInput_}) {
        field->setClearButtonEnabled(true);
        field->setStyleSheet(fieldStyle(false));
        field->installEventFilter(this);
    }
    // Both fields search again 0.75 s after the last keystroke.
    connect(findInput_, &QLineEdit::textEdited, this, [this] { scheduleReset(); });
    connect(replaceInput_, &QLineEdit::textEdited, this, [this] { scheduleReset(); });
    connect(findInput_, &QLineEdit::returnPressed, this, [this] { _findInDirection(1); });

    replaceButton_ = new QPushButton(QStringLiteral("Replace"), inputContainer_);
    replaceButton_->setObjectName(QStringLiteral("replaceControl"));
    replaceButton_->setFocusPolicy(Qt::NoFocus);
    // A tap replaces; holding the button offers "Replace All".
    replaceHoldTimer_ = new QTimer(this);
    replaceHoldTimer_->setSingleShot(true);
    replaceHoldTimer_->setInterval(500);
    connect(replaceButton_, &QPushButton::pressed, replaceHoldTimer_, qOverload<>(&QTimer::start));
    connect(replaceHoldTimer_, &QTimer::timeout, this, [this] {
        replaceButton_->setDown(false);
        _showReplaceMenu();
    });
    connect(replaceButton_, &QPushButton::released, this, [this] {
        if (replaceHoldTimer_->isActive()) {
            replaceHoldTimer_->stop();
            _replace();
        }
    });

    previousButton_ = new QPushButton(QStringLiteral("\u25C0"), this);
    previousButton_->setObjectName(QStringLiteral("previous"));
    nextButton_ = new QPushButton(QStringLiteral("\u25B6"), this);
    nextButton_->setObjectName(QStringLiteral("next"));
    for (QPushButton* button : {previousButton_, nextButton_})
        button->setFocusPolicy(Qt::NoFocus);
    connect(previousButton_, &QPushButton::clicked, this, [this] { _findInDirection(0); });
    connect(nextButton_, &QPushButton::clicked, this, [this] { _findInDirection(1); });

    for (QPushButton* button : {settingsButton_, replaceButton_, previousButton_, nextButton_})
        button->setStyleSheet(barButtonStyle());

    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("status"));
    statusLabel_->setStyleSheet(QStringLiteral("color: #202024; font-size: 11px;"));
    statusLabel_->hide();

    resetTimer_ = new QTimer(this);
    resetTimer_->setSingleShot(true);
    resetTimer_->setInterval(750);
    connect(resetTimer_, &QTimer::timeout, this, [this] { _reset(); });

    // Going back to editing text takes the bar away, as the keyboard it sits on would leave.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (isVisible() && qobject_cast<KTTextView*>(now))
            hide();
    });

    updateNavigation();
    layoutControls();
    QWidget::hide();
}

KTTextFinder::~KTTextFinder() = default;

void KTTextFinder::dock() {
    QWidget* window = Window::keyWindow();
    if (!window && textView_)
        window = textView_->window();
    if (!window)
        return;
    if (parentWidget() != window)
        setParent(window);
    setGeometry(0, window->height() - kBarHeight, window->width(), kBarHeight);
}

void KTTextFinder::show() {
    dock();
    QWidget::show();
    raise();
    findInput_->setFocus(Qt::OtherFocusReason);
    location_ = 0;
    // The text may have changed since the last search: never step through stale ranges.
    _reset();
}

void KTTextFinder::hide() {
    resetTimer_->stop();
    QWidget::hide();
}

void KTTextFinder::setTextView(KTTextView* textView) {
    if (textView_ == textView)
        return;
    textView_ = textView;
    _reset();
}

void KTTextFinder::setCompareOptions(uint32_t options) {
    compareOptions_ = options;
    _reset();
}

void KTTextFinder::scheduleReset() {
    resetTimer_->start();
}

QString KTTextFinder::statusText() const {
    return statusLabel_->text();
}

void KTTextFinder::setStatus(const QString& text, bool markField) {
    statusLabel_->setText(text);
    statusLabel_->setVisible(!text.isEmpty());
    findFieldMarked_ = markField;
    findInput_->setStyleSheet(fieldStyle(markField));
    findInput_->setToolTip(markField ? text : QString());
    layoutControls();
}

void KTTextFinder::updateNavigation() {
    const bool any = !cursor_.matches().isEmpty();
    previousButton_->setEnabled(any);
    nextButton_->setEnabled(any);
}

void KTTextFinder::_reset() {
    resetTimer_->stop();
    shownMatch_ = NSMakeRange(NSNotFound, 0);
    location_ = 0;
    QList<NSRange> found;
    QString problem;
    bool mark = false;
    if (textView_ && !findInput_->text().isEmpty()) {
        KTTextFinderMatcher matcher(findInput_->text(), compareOptions_);
        found = matcher.matchesInString(textView_->textStorage()->string());
        if (matcher.hasError()) {
            problem = matcher.errorDescription();
            mark = matcher.status() == KTTextFinderMatcher::Status::InvalidPattern ||
                   matcher.status() == KTTextFinderMatcher::Status::TimedOut;
        }
        if (!found.isEmpty())
            location_ = NSMaxRange(found.last());
    }
    cursor_.setMatches(found);
    setStatus(problem, mark);
    updateNavigation();
    _findInDirection(1);
}

void KTTextFinder::_findInDirection(int direction) {
    if (!textView_ || cursor_.matches().isEmpty())
        return;
    const auto match = cursor_.step(direction, textView_->textStorage()->length());
    if (!match)
        return;
    showMatch(*match);
}

KTFindIndicator* KTTextFinder::findIndicator() const {
    return textView_ ? textView_->findIndicator() : nullptr;
}

void KTTextFinder::showMatch(NSRange range) {
    shownMatch_ = range;
    scrollRangeIntoView(textView_, range);
    textView_->showFindIndicatorForRange(range);
}

void KTTextFinder::_replace() {
    QTimer::singleShot(350, replaceButton_, [button = replaceButton_] { button->setDown(false); });
    if (!textView_ || shownMatch_.location == NSNotFound)
        return;
    const QString text = textView_->textStorage()->string();
    KTTextFinderMatcher matcher(findInput_->text(), compareOptions_);
    const auto replacement = matcher.replacementForMatch(text, shownMatch_, replaceInput_->text());
    if (!replacement) {
        // The text changed under the match (or the "$" reference is wrong): search again
        // rather than replace something else.
        if (matcher.status() == KTTextFinderMatcher::Status::InvalidReplacement)
            setStatus(matcher.errorDescription(), false);
        else
            _reset();
        return;
    }
    const NSRange replaced = shownMatch_;
    replaceInView(textView_, replaced, *replacement);
    // Step on to the first match after the replaced text.
    const uint32_t after = replaced.location + uint32_t(replacement->size());
    KTTextFinderMatcher again(findInput_->text(), compareOptions_);
    const QList<NSRange> found = again.matchesInString(textView_->textStorage()->string());
    cursor_.setMatches(found);
    updateNavigation();
    shownMatch_ = NSMakeRange(NSNotFound, 0);
    for (qsizetype i = 0; i < found.size(); ++i) {
        if (found[i].location >= after) {
            // The cursor starts at index 0; each forward step moves it one on.
            for (qsizetype k = 0; k < i; ++k)
                cursor_.step(1, textView_->textStorage()->length());
            showMatch(found[i]);
            return;
        }
    }
    // Past the last match the walk wraps to the first.
    if (!found.isEmpty())
        showMatch(found.first());
}

int KTTextFinder::_replaceAll() {
    QTimer::singleShot(350, replaceButton_, [button = replaceButton_] { button->setDown(false); });
    if (!textView_ || findInput_->text().isEmpty())
        return 0;
    const QString text = textView_->textStorage()->string();
    KTTextFinderMatcher matcher(findInput_->text(), compareOptions_);
    const auto replacements = matcher.replacementsInString(text, replaceInput_->text());
    if (!replacements) {
        setStatus(matcher.errorDescription(),
                  matcher.status() != KTTextFinderMatcher::Status::InvalidReplacement);
        return 0;
    }
    if (replacements->isEmpty()) {
        setStatus(QStringLiteral("No matches"), false);
        return 0;
    }
    // One edit over the span from the first match to the end of the last: one undo step.
    const uint32_t start = replacements->first().range.location;
    const uint32_t end = NSMaxRange(replacements->last().range);
    QList<KTTextFinderMatcher::Replacement> shifted;
    shifted.reserve(replacements->size());
    for (const auto& r : *replacements)
        shifted.append({NSMakeRange(r.range.location - start, r.range.length), r.text});
    const QString span =
        KTTextFinderMatcher::stringByApplyingReplacements(text.mid(start, end - start), shifted);
    replaceInView(textView_, NSMakeRange(start, end - start), span);
    const int count = int(replacements->size());
    cursor_.setMatches({});
    shownMatch_ = NSMakeRange(NSNotFound, 0);
    updateNavigation();
    setStatus(count == 1 ? QStringLiteral("Replaced 1 occurrence")
                         : QStringLiteral("Replaced %1 occurrences").arg(count),
              false);
    return count;
}

void KTTextFinder::setMode(int32_t mode) {
    mode_ = mode == FindAndReplace ? FindAndReplace : Find;
    if (modeAnimation_)
        modeAnimation_->stop();
    const qreal target = mode_ == FindAndReplace ? 1.0 : 0.0;
    auto* animation = new QVariantAnimation(this);
    animation->setObjectName(mode_ == FindAndReplace ? QStringLiteral("findAndReplace")
                                                     : QStringLiteral("find"));
    animation->setDuration(200);
    animation->setStartValue(replaceAlpha_);
    animation->setEndValue(target);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        replaceAlpha_ = value.toReal();
        layoutControls();
    });
    modeAnimation_ = animation;
    if (!animationsEnabled()) {
        delete animation;
        replaceAlpha_ = target;
        layoutControls();
        return;
    }
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void KTTextFinder::_showSettingsMenu() {
    auto* settings = new KTTextFinderSettingsViewController();
    if (popover_)
        popover_->dismissPopoverAnimated(false);
    // The kit popover, so the find settings never stand beside another popover.
    auto* popover = new KTPopoverController(settings, this);
    connect(popover, &PopoverController::didDismiss, popover, &QObject::deleteLater);
    popover_ = popover;
    popover->presentPopoverFromRect(QRectF(settingsButton_->geometry()), this,
                                    PopoverArrowDirectionDown, true);
}

void KTTextFinder::_showReplaceMenu() {
    if (replaceMenu_) {
        replaceMenu_->dismissWithClickedButtonIndex(-1, false);
        replaceMenu_->deleteLater();
    }
    auto* sheet = new ActionSheet(QString(), this, QString(), QString(),
                                  {QStringLiteral("Replace All")}, this);
    replaceMenu_ = sheet;
    const QRect anchor(replaceButton_->mapTo(this, QPoint(0, 0)), replaceButton_->size());
    sheet->showFromRect(QRectF(anchor), this, true);
    replaceButton_->setDown(false);
}

void KTTextFinder::actionSheetClickedButtonAtIndex(ActionSheet* sheet, int index) {
    if (sheet == replaceMenu_ && index == 0)
        _replaceAll();
}

void KTTextFinder::layoutControls() {
    const QRect body = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const int controlHeight = 32;
    const int y = body.top() + (body.height() - controlHeight) / 2;
    settingsButton_->setGeometry(body.left() + kGap, y, kSettingsWidth, controlHeight);
    const int navX = body.right() - kGap - kNavigationWidth + 1;
    previousButton_->setGeometry(navX, y, kNavigationWidth / 2, controlHeight);
    nextButton_->setGeometry(navX + kNavigationWidth / 2, y, kNavigationWidth / 2, controlHeight);
    const int containerX = body.left() + kGap + kSettingsWidth + kGap;
    const int containerWidth = std::max(0, navX - kGap - containerX);
    inputContainer_->setGeometry(containerX, y, containerWidth, controlHeight);

    // Find only: the find field fills the container. Find and replace: the two fields share
    // what the replace control leaves, the replace field faded in by the mode's animation.
    const int replaceRoom = kReplaceWidth + kGap;
    const int half = (containerWidth - replaceRoom - kGap) / 2;
    const int findWidth =
        int(std::lround(containerWidth + (half - containerWidth) * replaceAlpha_));
    findInput_->setGeometry(0, 0, findWidth, controlHeight);
    const bool showReplace = replaceAlpha_ > 0;
    replaceInput_->setVisible(showReplace);
    replaceButton_->setVisible(showReplace);
    replaceInput_->setGeometry(findWidth + kGap, 0, half, controlHeight);
    replaceButton_->setGeometry(containerWidth - kReplaceWidth, 0, kReplaceWidth, controlHeight);
    statusLabel_->setGeometry(containerX + 8, body.bottom() - 12, containerWidth - 16, 12);
    if (!statusLabel_->text().isEmpty()) {
        // Room for the message under the fields.
        inputContainer_->move(containerX, y - 5);
    }
}

void KTTextFinder::resizeEvent(QResizeEvent*) {
    layoutControls();
}

void KTTextFinder::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
    QPainterPath path;
    path.addRoundedRect(body, 8, 8);
    for (int i = 3; i >= 1; --i) {
        QPainterPath shadow;
        shadow.addRoundedRect(body.translated(0, 1).adjusted(-i, -i, i, i), 8 + i, 8 + i);
        painter.fillPath(shadow, QColor(0, 0, 0, 40));
    }
    QLinearGradient gradient(body.topLeft(), body.bottomLeft());
    gradient.setColorAt(0.05, QColor::fromRgbF(0.875f, 0.875f, 0.894f));
    gradient.setColorAt(0.5, QColor::fromRgbF(0.682f, 0.682f, 0.729f));
    gradient.setColorAt(1.0, QColor::fromRgbF(0.424f, 0.424f, 0.459f));
    painter.fillPath(path, gradient);
    painter.setPen(QPen(QColor::fromRgbF(0.329f, 0.329f, 0.357f), 1));
    painter.drawPath(path);
}

void KTTextFinder::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool KTTextFinder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        hide();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// Settings popover

KTTextFinderSettingsViewController::KTTextFinderSettingsViewController(QObject* parent)
    : ViewController(parent) {}

QWidget* KTTextFinderSettingsViewController::loadView() {
    auto* view = new QWidget();
    view->setObjectName(QStringLiteral("KTTextFinderSettings"));
    view->resize(320, 230);
    view->setStyleSheet(QStringLiteral(
        "#KTTextFinderSettings { background: #d8dbe2; }"
        "QPushButton { text-align: left; padding: 0 14px; background: white; border: 1px solid "
        "#b8bcc6; font-size: 16px; font-weight: bold; color: #1e1e1e; min-height: 44px; }"
        "QPushButton:checked { color: #385487; }"));
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(0);
    const QStringList modes = {QStringLiteral("Find"), QStringLiteral("Find and Replace")};
    for (int row = 0; row < modes.size(); ++row) {
        auto* button = new QPushButton(modes[row], view);
        button->setObjectName(QStringLiteral("mode%1").arg(row));
        QObject::connect(button, &QPushButton::clicked, this, [this, row] {
            KTTextFinder::sharedTextFinder()->setMode(row);
            reloadData();
        });
        layout->addWidget(button);
        modeRows_.append(button);
    }
    layout->addSpacing(18);
    const QStringList options = {QStringLiteral("Match Case"),
                                 QStringLiteral("Regular Expressions")};
    for (int row = 0; row < options.size(); ++row) {
        auto* button = new QPushButton(options[row], view);
        button->setObjectName(row == 0 ? QStringLiteral("matchCase")
                                       : QStringLiteral("regularExpressions"));
        button->setCheckable(true);
        QObject::connect(button, &QPushButton::clicked, this, [this, row] {
            KTTextFinder* finder = KTTextFinder::sharedTextFinder();
            const uint32_t bit = row == 0 ? KTTextFinderMatcher::CaseInsensitiveSearch
                                          : KTTextFinderMatcher::RegularExpressionSearch;
            finder->setCompareOptions(finder->compareOptions() ^ bit);
            reloadData();
        });
        layout->addWidget(button);
        switches_.append(button);
    }
    layout->addStretch();
    reloadData();
    return view;
}

void KTTextFinderSettingsViewController::reloadData() {
    KTTextFinder* finder = KTTextFinder::sharedTextFinder();
    for (int row = 0; row < modeRows_.size(); ++row) {
        const QString title =
            row == 0 ? QStringLiteral("Find") : QStringLiteral("Find and Replace");
        modeRows_[row]->setText(finder->mode() == row ? title + QStringLiteral("   \u2713")
                                                      : title);
    }
    const uint32_t options = finder->compareOptions();
    if (switches_.size() == 2) {
        const bool matchCase = !(options & KTTextFinderMatcher::CaseInsensitiveSearch);
        const bool regex = options & KTTextFinderMatcher::RegularExpressionSearch;
        switches_[0]->setChecked(matchCase);
        switches_[0]->setText(QStringLiteral("Match Case") +
                              (matchCase ? QStringLiteral("   [ON]") : QStringLiteral("   [OFF]")));
        switches_[1]->setChecked(regex);
        switches_[1]->setText(QStringLiteral("Regular Expressions") +
                              (regex ? QStringLiteral("   [ON]") : QStringLiteral("   [OFF]")));
    }
}
