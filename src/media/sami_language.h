#pragma once

#include <string>
#include <string_view>

namespace torvane {

// A SAMI file may carry several languages at once: each caption paragraph names its language
// class (<P Class=KRCC>, <P Class=ENCC>), and a renderer that ignores the classes shows them all
// on top of one another. The class to keep is the Korean one (named in the style sheet with
// "lang: ko…" or "Name: Korean", or called KR…/KO…), else the first class the style sheet
// declares, else the first one the captions use.
std::string chosenSamiClass(std::string_view sami);

// The SAMI text with the paragraphs of every other class left out: a SYNC whose paragraphs all
// belong to other classes goes whole, so the chosen language's timing is untouched. Paragraphs
// without a class stay. A text with fewer than two classes comes back unchanged. Works on the
// bytes: tags are ASCII in UTF-8 and CP949 alike, and neither has '<' inside a character.
std::string keepOneSamiLanguage(std::string_view sami);

}  // namespace torvane
