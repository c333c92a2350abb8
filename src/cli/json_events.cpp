#include "cli/json_events.h"

#include <charconv>
#include <cmath>

#include "cli/json_text.h"
#include "platform/text_encoding.h"
#include "run/progress_parser.h"
#include "run/queue_controller.h"
#include "run/source_list.h"

namespace torvane::cli {
namespace {

constexpr auto kProgressPeriod = std::chrono::seconds(1);

// One object per line, flushed: a reader at the other end of a pipe sees each event as it happens.
class Line {
public:
    explicit Line(std::ostream& out, std::string_view event) : out_(out), writer_(out) {
        writer_.beginObject();
        writer_.field("event", event);
    }
    ~Line() {
        writer_.endObject();
        out_ << "\n" << std::flush;
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    void text(std::string_view name, std::string_view value) { writer_.field(name, value); }
    void number(std::string_view name, long long value) { writer_.numberField(name, std::to_string(value)); }
    // The text is a JSON number already.
    void numberText(std::string_view name, std::string_view value) { writer_.numberField(name, value); }
    void null(std::string_view name) { writer_.numberField(name, "null"); }
    // A path or a reason: null when empty.
    void optionalText(std::string_view name, std::string_view value) { value.empty() ? null(name) : text(name, value); }
    // Names on Linux are bytes: one that is not UTF-8 is shown decoded, and its bytes come in hex
    // beside it so a script can still reach the file.
    void path(std::string_view name, std::string_view value) {
        optionalText(name, value);
        if (isValidUtf8(value)) return;
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (const char byte : value) {
            hex += kDigits[static_cast<unsigned char>(byte) >> 4];
            hex += kDigits[static_cast<unsigned char>(byte) & 0xf];
        }
        text(std::string(name) + "_hex", hex);
    }

private:
    std::ostream& out_;
    JsonWriter writer_;
};

const char* resultName(RunItemResult::State state) {
    switch (state) {
        case RunItemResult::State::Succeeded:
            return "done";
        case RunItemResult::State::Failed:
            return "failed";
        case RunItemResult::State::Stopped:
            return "stopped";
        case RunItemResult::State::Waiting:
        case RunItemResult::State::Converting:
            break;
    }
    return nullptr;
}

// The number in the speed display ("x1.50 배속"), as a JSON number; nullopt when there is none.
std::optional<std::string> speedNumber(std::string_view text) {
    if (text.empty() || text.front() != 'x') return std::nullopt;
    text.remove_prefix(1);
    text = text.substr(0, text.find(' '));
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        text.find_first_not_of("0123456789.") != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(text);
}

}  // namespace

JsonRunEvents::Item& JsonRunEvents::item(std::size_t index) {
    if (index >= items_.size()) items_.resize(index + 1);
    return items_[index];
}

void JsonRunEvents::refused(std::string_view source, std::string_view reason) {
    ++refused_;
    Line line(out_, "refused");
    line.path("source", source);
    line.optionalText("reason", reason);
}

void JsonRunEvents::setSources(std::vector<std::string> sources) {
    sources_ = std::move(sources);
}

void JsonRunEvents::selectRow(std::size_t row) {
    shown_.selectRow(row);
    currentRow_ = row;
    // The speed was about the item before.
    item(row).latest.speed.reset();
}

void JsonRunEvents::setCellText(std::size_t row, std::size_t column, std::string_view text) {
    shown_.setCellText(row, column, text);
    // Each row's own percent: with files converting at once, the "현재" bar follows only the
    // one started last.
    if (column != static_cast<std::size_t>(SourceColumn::Progress) || !text.ends_with('%')) return;
    int percent = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size() - 1, percent);
    if (error != std::errc() || end != text.data() + text.size() - 1) return;
    Item& current = item(row);
    current.latest.percent = percent;
    current.changed = true;
}

void JsonRunEvents::showCurrentProgress(std::string_view percentText, int bar) {
    shown_.showCurrentProgress(percentText, bar);
    Item& current = item(currentRow_);
    current.latest.percent = bar;
    current.changed = true;
    progressSeen_ = progressSeen_ || bar > 0;
}

void JsonRunEvents::showOverallProgress(std::string_view percentText, int bar) {
    shown_.showOverallProgress(percentText, bar);
    overallPercent_ = bar;
    item(currentRow_).changed = true;
}

void JsonRunEvents::showSpeed(std::string_view text) {
    shown_.showSpeed(text);
    // "배속정보" is the empty display of a run that has not measured a speed yet.
    if (const std::optional<std::string> speed = speedNumber(text)) {
        Item& current = item(currentRow_);
        current.latest.speed = speed;
        current.changed = true;
    }
}

void JsonRunEvents::showRemainingTime(std::string_view text) {
    shown_.showRemainingTime(text);
    if (!progressSeen_) return;
    remainingSeconds_ = clockSeconds(text);
    item(currentRow_).changed = true;
}

void JsonRunEvents::writeProgress(std::size_t index, Item& item) {
    Line line(out_, "progress");
    line.number("index", static_cast<long long>(index));
    line.number("percent", item.latest.percent);
    line.number("overall", overallPercent_);
    item.latest.speed ? line.numberText("speed", *item.latest.speed) : line.null("speed");
    remainingSeconds_ ? line.number("remaining", *remainingSeconds_) : line.null("remaining");
    item.changed = false;
    item.lastWritten = std::chrono::steady_clock::now();
}

void JsonRunEvents::update(const QueueController& controller) {
    const auto now = std::chrono::steady_clock::now();
    const std::vector<RunItemResult>& results = controller.results();
    for (std::size_t index = 0; index < results.size(); ++index) {
        const RunItemResult& result = results[index];
        Item& current = item(index);
        const char* verdict = resultName(result.state);
        // Started once the output's name is chosen (a Flash movie's is chosen after its
        // preparation), or when the item ended before that.
        if (!current.started &&
            (verdict != nullptr || (result.state == RunItemResult::State::Converting && !result.outputPath.empty()))) {
            current.started = true;
            Line line(out_, "started");
            line.number("index", static_cast<long long>(index));
            line.path("source", index < sources_.size() ? sources_[index] : std::string());
            line.path("output", result.outputPath);
        }
        if (!current.started || current.finished) continue;
        if (verdict == nullptr) {
            if (current.changed && (!current.lastWritten || now - *current.lastWritten >= kProgressPeriod)) {
                writeProgress(index, current);
            }
            continue;
        }
        // The last progress is never held back by the once-a-second rule.
        // The remaining time is the whole run's: an item's end does not make it 0.
        if (result.state == RunItemResult::State::Succeeded) current.latest.percent = 100;
        writeProgress(index, current);
        current.finished = true;
        Line line(out_, "finished");
        line.number("index", static_cast<long long>(index));
        line.path("source", index < sources_.size() ? sources_[index] : std::string());
        line.text("result", verdict);
        line.optionalText("reason", result.reason);
        line.path("output", result.outputPath);
        line.path("log", result.logPath);
    }
}

void JsonRunEvents::finish(const QueueController* controller) {
    if (controller != nullptr) update(*controller);
    int done = 0, failed = 0, stopped = 0, notStarted = 0;
    if (controller != nullptr) {
        for (const RunItemResult& result : controller->results()) {
            switch (result.state) {
                case RunItemResult::State::Succeeded:
                    ++done;
                    break;
                case RunItemResult::State::Failed:
                    ++failed;
                    break;
                // A settled run has no item under way; one would have been stopped.
                case RunItemResult::State::Stopped:
                case RunItemResult::State::Converting:
                    ++stopped;
                    break;
                case RunItemResult::State::Waiting:
                    ++notStarted;
                    break;
            }
        }
    }
    Line line(out_, "run-finished");
    line.number("done", done);
    line.number("failed", failed);
    line.number("stopped", stopped);
    line.number("not_started", notStarted);
    line.number("refused", refused_);
}

}  // namespace torvane::cli
