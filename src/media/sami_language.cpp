#include "media/sami_language.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "settings/text_rules.h"

namespace torvane {
namespace {

bool isNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
}

// The position of the lower-case `needle` in `text` from `from` on, ignoring ASCII case; npos
// when absent.
std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from = 0) {
    if (needle.empty() || text.size() < needle.size()) return std::string_view::npos;
    const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    for (std::size_t at = from; at + needle.size() <= text.size(); ++at) {
        if (std::equal(needle.begin(), needle.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                       [&lower](char wanted, char seen) { return wanted == lower(seen); })) {
            return at;
        }
    }
    return std::string_view::npos;
}

struct StyleClass {
    std::string name;  // as the style sheet spells it
    bool korean = false;
};

// The classes the <STYLE> block declares (".KRCC { Name:Korean; lang:ko-KR; }"), in order.
std::vector<StyleClass> declaredClasses(std::string_view sami) {
    std::vector<StyleClass> classes;
    const std::size_t styleStart = findNoCase(sami, "<style");
    if (styleStart == std::string_view::npos) return classes;
    std::size_t styleEnd = findNoCase(sami, "</style", styleStart);
    if (styleEnd == std::string_view::npos) styleEnd = sami.size();
    const std::string_view style = sami.substr(styleStart, styleEnd - styleStart);
    for (std::size_t at = style.find('.'); at != std::string_view::npos; at = style.find('.', at + 1)) {
        std::size_t end = at + 1;
        while (end < style.size() && isNameCharacter(style[end])) ++end;
        if (end == at + 1) continue;
        std::size_t brace = end;
        while (brace < style.size() && std::isspace(static_cast<unsigned char>(style[brace])) != 0) ++brace;
        if (brace >= style.size() || style[brace] != '{') continue;
        const std::size_t close = style.find('}', brace);
        const std::string body =
            lowerAscii(style.substr(brace, close == std::string_view::npos ? style.npos : close - brace));
        std::string name(style.substr(at + 1, end - at - 1));
        const std::string lowerName = lowerAscii(name);
        const bool korean = body.find("lang:ko") != std::string::npos || body.find("lang: ko") != std::string::npos ||
                            body.find("korean") != std::string::npos || lowerName.starts_with("kr") ||
                            lowerName.starts_with("ko");
        classes.push_back({std::move(name), korean});
        at = close == std::string_view::npos ? style.size() - 1 : close;
    }
    return classes;
}

// The class a <P ...> tag names, lower-cased; empty when it names none.
std::string paragraphClass(std::string_view tag) {
    const std::size_t key = findNoCase(tag, "class");
    if (key == std::string_view::npos) return {};
    std::size_t at = key + 5;
    while (at < tag.size() && (tag[at] == ' ' || tag[at] == '\t' || tag[at] == '=')) ++at;
    if (at < tag.size() && (tag[at] == '"' || tag[at] == '\'')) ++at;
    std::size_t end = at;
    while (end < tag.size() && isNameCharacter(tag[end])) ++end;
    return lowerAscii(tag.substr(at, end - at));
}

// Where each <P tag starts in a piece of the body.
std::vector<std::size_t> paragraphStarts(std::string_view piece) {
    std::vector<std::size_t> starts;
    for (std::size_t at = findNoCase(piece, "<p"); at != std::string_view::npos; at = findNoCase(piece, "<p", at + 2)) {
        const char next = at + 2 < piece.size() ? piece[at + 2] : '>';
        if (next == '>' || std::isspace(static_cast<unsigned char>(next)) != 0) starts.push_back(at);
    }
    return starts;
}

// The classes the captions use, lower-cased, in order of first use.
std::vector<std::string> usedClasses(std::string_view sami) {
    std::vector<std::string> used;
    for (const std::size_t at : paragraphStarts(sami)) {
        const std::size_t close = sami.find('>', at);
        const std::string name =
            paragraphClass(sami.substr(at, close == std::string_view::npos ? sami.npos : close - at));
        if (!name.empty() && std::find(used.begin(), used.end(), name) == used.end()) used.push_back(name);
    }
    return used;
}

// One SYNC block with only the chosen class's paragraphs (and those without a class); empty
// when it had paragraphs and none of them stays.
std::string filteredSync(std::string_view sync, const std::string& chosen) {
    const std::vector<std::size_t> starts = paragraphStarts(sync);
    if (starts.empty()) return std::string(sync);
    std::string kept(sync.substr(0, starts.front()));
    bool any = false;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : sync.size();
        const std::string_view paragraph = sync.substr(starts[i], end - starts[i]);
        const std::size_t close = paragraph.find('>');
        const std::string name = paragraphClass(paragraph.substr(0, close));
        if (name.empty() || name == chosen) {
            kept += paragraph;
            any = true;
        } else if (const std::size_t bodyEnd = findNoCase(paragraph, "</body"); bodyEnd != std::string_view::npos) {
            // The last paragraph runs on to the end of the file: its closing tags stay.
            kept += paragraph.substr(bodyEnd);
        }
    }
    if (any) return kept;
    // A SYNC left without paragraphs would blank the chosen language's caption early.
    const std::size_t bodyEnd = findNoCase(sync, "</body");
    return bodyEnd == std::string_view::npos ? std::string() : std::string(sync.substr(bodyEnd));
}

}  // namespace

std::string chosenSamiClass(std::string_view sami) {
    const std::vector<std::string> used = usedClasses(sami);
    const std::vector<StyleClass> declared = declaredClasses(sami);
    const auto isUsed = [&used](const std::string& name) {
        return std::find(used.begin(), used.end(), lowerAscii(name)) != used.end();
    };
    for (const StyleClass& style : declared) {
        if (style.korean && isUsed(style.name)) return lowerAscii(style.name);
    }
    for (const std::string& name : used) {
        if (name.starts_with("kr") || name.starts_with("ko")) return name;
    }
    for (const StyleClass& style : declared) {
        if (isUsed(style.name)) return lowerAscii(style.name);
    }
    return used.empty() ? std::string() : used.front();
}

std::string keepOneSamiLanguage(std::string_view sami) {
    if (usedClasses(sami).size() < 2) return std::string(sami);
    const std::string chosen = chosenSamiClass(sami);
    const std::size_t first = findNoCase(sami, "<sync");
    if (first == std::string_view::npos) return std::string(sami);
    std::string kept(sami.substr(0, first));
    for (std::size_t at = first; at != std::string_view::npos;) {
        const std::size_t next = findNoCase(sami, "<sync", at + 5);
        kept += filteredSync(sami.substr(at, next == std::string_view::npos ? sami.npos : next - at), chosen);
        at = next;
    }
    return kept;
}

}  // namespace torvane
