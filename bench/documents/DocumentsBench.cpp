// Costs of opening and saving a 5 MB source file and of searching it, each beside the plain Qt
// routine that does the least work possible (the floor for the same input).
#include "text/KTTextFinderMatcher.h"
#include "workspace/DocumentData.h"
#include "workspace/TextEncoding.h"

#include <benchmark/benchmark.h>

#include <QRegularExpression>

namespace {

QString sourceText(const QString& lineBreak) {
    const QString line =
        QStringLiteral("    <div class=\"item\">Caf\u00e9 12345 &amp; cr\u00e8me</div>") +
        lineBreak;
    QString text;
    while (text.size() < 5'000'000)
        text += line;
    return text;
}

const QByteArray& utf8File() {
    static const QByteArray data = sourceText(QStringLiteral("\n")).toUtf8();
    return data;
}

const QByteArray& utf8CrLfFile() {
    static const QByteArray data = sourceText(QStringLiteral("\r\n")).toUtf8();
    return data;
}

const QByteArray& latin1File() {
    static const QByteArray data = sourceText(QStringLiteral("\n")).toLatin1();
    return data;
}

void loadUtf8(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(documentFromData(utf8File(), 0));
}
BENCHMARK(loadUtf8)->Unit(benchmark::kMillisecond);

void loadUtf8CrLf(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(documentFromData(utf8CrLfFile(), 0));
}
BENCHMARK(loadUtf8CrLf)->Unit(benchmark::kMillisecond);

void loadLatin1Undeclared(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(documentFromData(latin1File(), 0));
}
BENCHMARK(loadLatin1Undeclared)->Unit(benchmark::kMillisecond);

void peerQtFromUtf8(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(QString::fromUtf8(utf8File()));
}
BENCHMARK(peerQtFromUtf8)->Unit(benchmark::kMillisecond);

void saveUtf8CrLf(benchmark::State& state) {
    const std::optional<DocumentContents> contents = documentFromData(utf8CrLfFile(), 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(dataFromDocument(contents->text, contents->format));
}
BENCHMARK(saveUtf8CrLf)->Unit(benchmark::kMillisecond);

void peerQtToUtf8(benchmark::State& state) {
    const QString text = QString::fromUtf8(utf8File());
    for (auto _ : state)
        benchmark::DoNotOptimize(text.toUtf8());
}
BENCHMARK(peerQtToUtf8)->Unit(benchmark::kMillisecond);

void findPlain(benchmark::State& state) {
    const QString text = QString::fromUtf8(utf8File());
    KTTextFinderMatcher matcher(QStringLiteral("CR\u00c8ME"));
    for (auto _ : state)
        benchmark::DoNotOptimize(matcher.matchesInString(text));
}
BENCHMARK(findPlain)->Unit(benchmark::kMillisecond);

void findRegex(benchmark::State& state) {
    const QString text = QString::fromUtf8(utf8File());
    KTTextFinderMatcher matcher(QStringLiteral("\\d{3}(\\d+)"),
                                KTTextFinderMatcher::CaseInsensitiveSearch |
                                    KTTextFinderMatcher::RegularExpressionSearch);
    for (auto _ : state)
        benchmark::DoNotOptimize(matcher.matchesInString(text));
}
BENCHMARK(findRegex)->Unit(benchmark::kMillisecond);

void peerQRegularExpression(benchmark::State& state) {
    const QString text = QString::fromUtf8(utf8File());
    const QRegularExpression expression(QStringLiteral("\\d{3}(\\d+)"),
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::MultilineOption);
    for (auto _ : state) {
        qsizetype count = 0;
        for (auto it = expression.globalMatch(text); it.hasNext(); it.next())
            ++count;
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(peerQRegularExpression)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
