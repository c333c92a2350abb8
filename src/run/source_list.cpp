#include "run/source_list.h"

#include <algorithm>

#include <initializer_list>
#include <utility>

#include "media/media_query.h"
#include "media/source_range.h"
#include "platform/file_system.h"
#include "platform/name_text.h"
#include "run/time_size_text.h"

namespace torvane {
namespace {

const std::string& firstNonEmpty(std::initializer_list<const std::string*> texts) {
    for (const std::string* text : texts) {
        if (!text->empty()) return *text;
    }
    return **texts.begin();
}

}  // namespace

SourceItem* SourceList::item(std::size_t row) {
    return const_cast<SourceItem*>(std::as_const(*this).item(row));
}

const SourceItem* SourceList::item(std::size_t row) const {
    if (row >= rows_.size()) return nullptr;
    return findItem(rows_[row].key);
}

std::string SourceList::keyOfRow(std::size_t row) const {
    return row < rows_.size() ? rows_[row].key : std::string();
}

const SourceItem* SourceList::findItem(const std::string& key) const {
    const auto it = items_.find(key);
    return it == items_.end() ? nullptr : &it->second;
}

SourceItem* SourceList::findItem(const std::string& key) {
    const auto it = items_.find(key);
    return it == items_.end() ? nullptr : &it->second;
}

int SourceList::rowOfKey(const std::string& key) const {
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row].key == key) return static_cast<int>(row);
    }
    return -1;
}

std::size_t SourceList::appendItem(SourceItem item) {
    // Two rows must never share one item: a missing or taken id gets a fresh one.
    for (int attempt = 0; (item.itemId.empty() || items_.contains(item.itemId)) && attempt < 100; ++attempt) {
        item.itemId = newItemId();
    }
    if (item.itemId.empty() || items_.contains(item.itemId)) {
        item.itemId = "row-" + std::to_string(rows_.size()) + "-" + std::to_string(items_.size());
    }
    const std::string key = item.itemId;
    items_.emplace(key, std::move(item));
    rows_.push_back(Row{key, false, {}, {}, {}});
    recomputeTotals();
    return rows_.size() - 1;
}

void SourceList::removeAll() {
    rows_.clear();
    items_.clear();
    recomputeTotals();
}

bool SourceList::isSelected(std::size_t row) const {
    return row < rows_.size() && rows_[row].selected;
}

void SourceList::setSelected(std::size_t row, bool selected) {
    if (row < rows_.size()) rows_[row].selected = selected;
}

void SourceList::selectOnly(std::size_t row) {
    for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i].selected = i == row;
}

bool SourceList::anySelected() const {
    for (const Row& row : rows_) {
        if (row.selected) return true;
    }
    return false;
}

int SourceList::removeSelected() {
    std::vector<Row> kept;
    std::size_t firstRemoved = rows_.size();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        if (row.selected) {
            firstRemoved = std::min(firstRemoved, i);
            items_.erase(row.key);
        } else {
            kept.push_back(std::move(row));
        }
    }
    rows_ = std::move(kept);
    recomputeTotals();
    if (rows_.empty()) return -1;
    // The row that took the first removed one's place, or the last row when the removed ones
    // were at the end: a second Delete goes on down the list.
    const std::size_t next = std::min(firstRemoved, rows_.size() - 1);
    selectOnly(next);
    return static_cast<int>(next);
}

void SourceList::moveSelectedUp() {
    for (std::size_t i = 1; i < rows_.size(); ++i) {
        // A selected row above is one that could not move: the block is at the top already.
        if (rows_[i].selected && !rows_[i - 1].selected) std::swap(rows_[i], rows_[i - 1]);
    }
}

void SourceList::moveSelectedDown() {
    for (std::size_t i = rows_.size(); i-- > 1;) {
        if (rows_[i - 1].selected && !rows_[i].selected) std::swap(rows_[i], rows_[i - 1]);
    }
}

std::array<std::string, kSourceColumnCount> SourceList::cells(std::size_t row) const {
    std::array<std::string, kSourceColumnCount> texts;
    const SourceItem* source = item(row);
    if (source == nullptr) return texts;
    const MediaSummary& media = source->media;
    const auto cell = [&](SourceColumn column) -> std::string& { return texts[static_cast<std::size_t>(column)]; };
    cell(SourceColumn::InputFile) = nameText(fileNamePart(source->sourcePath));
    cell(SourceColumn::Duration) = formatDuration(media.durationSeconds, DurationStyle::Clock);
    // A range shows where the conversion starts and ends, in the source's time.
    if (hasRange(*source)) {
        cell(SourceColumn::Duration) =
            formatTimeText(source->rangeStartSeconds) + "~" +
            (source->rangeEndSeconds > 0 ? formatTimeText(source->rangeEndSeconds) : cell(SourceColumn::Duration));
    }
    // A sound-only file has no picture size: an empty cell, not a lone " x ".
    if (!media.videoWidth.empty() && !media.videoHeight.empty()) {
        cell(SourceColumn::Size) = media.videoWidth + " x " + media.videoHeight;
    }
    // Current MediaInfo releases leave the old codec fields empty; the format name says the same.
    cell(SourceColumn::Video) =
        firstNonEmpty({&media.videoCodecIdHint, &media.videoCodec, &media.videoCodecInfo, &media.videoFormat});
    cell(SourceColumn::Audio) =
        firstNonEmpty({&media.audioCodecIdHint, &media.audioCodec, &media.audioCodecInfo, &media.audioFormat});
    if (!source->keepSound) cell(SourceColumn::Audio) = "소리 없음";
    cell(SourceColumn::Subtitle) = source->subtitlePath.empty() ? "X" : "O";
    cell(SourceColumn::Progress) = rows_[row].progressText;
    cell(SourceColumn::FileSize) = formatSize(static_cast<std::int64_t>(source->fileSize), SizeDecimals::One);
    cell(SourceColumn::OutputFile) = rows_[row].outputText;
    return texts;
}

void SourceList::setProgressText(std::size_t row, std::string text) {
    if (row < rows_.size()) rows_[row].progressText = std::move(text);
}

void SourceList::setOutputText(std::size_t row, std::string text) {
    if (row < rows_.size()) rows_[row].outputText = std::move(text);
}

void SourceList::setResultText(std::size_t row, std::string text) {
    if (row < rows_.size()) rows_[row].resultText = std::move(text);
}

const std::string& SourceList::resultText(std::size_t row) const {
    static const std::string none;
    return row < rows_.size() ? rows_[row].resultText : none;
}

void SourceList::recomputeTotals() {
    totalBytes_ = 0;
    totalDurationSeconds_ = 0;
    for (const auto& [key, source] : items_) {
        totalBytes_ += source.fileSize;
        totalDurationSeconds_ += source.media.durationSeconds;
    }
}

}  // namespace torvane
