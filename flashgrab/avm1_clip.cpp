// Movie clips as scripts see them: target paths, gotos and the clip and text field properties.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "flashgrab/avm1.h"
#include "flashgrab/display_list.h"
#include "flashgrab/drawing.h"

namespace flashgrab {
namespace {

constexpr const char* kPropertyNames[] = {
    "_x",          "_y",     "_xscale",      "_yscale",    "_currentframe", "_totalframes",  "_alpha",
    "_visible",    "_width", "_height",      "_rotation",  "_target",       "_framesloaded", "_name",
    "_droptarget", "_url",   "_highquality", "_focusrect", "_soundbuftime", "_quality",      "_xmouse",
    "_ymouse"};

bool sameName(std::string_view a, std::string_view b, bool caseless) {
    if (a.size() != b.size()) return false;
    if (!caseless) return a == b;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

Instance* childNamed(Instance& parent, std::string_view name, bool caseless) {
    if (!parent.timeline) return nullptr;
    for (auto& [depth, child] : parent.timeline->children)
        if (!child.name.empty() && sameName(child.name, name, caseless)) return &child;
    return nullptr;
}

double degrees(double radians) {
    return radians * 180 / std::numbers::pi;
}

}  // namespace

Object* Avm1::resolveTarget(std::string_view path, Object* from) {
    Object* current = from;
    std::size_t pos = 0;
    if (!path.empty() && path[0] == '/') {
        current = root();
        pos = 1;
    }
    bool caseless = swfVersion() < 7;
    while (current && pos < path.size()) {
        std::size_t end = path.find_first_of("/.", pos);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(pos, end - pos);
        // "a..b" and "../" both mean the parent, the first in dot syntax, the second in slash syntax.
        if (end < path.size() && path[end] == '.' && end + 1 < path.size() && path[end + 1] == '.' && part.empty()) {
            end += 1;
            part = "..";
        }
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == ".." || part == "_parent") {
            Instance* instance = current->instance;
            current = instance && instance->parent ? objectOf(*instance->parent) : nullptr;
        } else if (part == "_root" || sameName(part, "_level0", true)) {
            current = root();
        } else if (part == "this") {
            continue;
        } else if (part == "_global") {
            current = global_;
        } else {
            Value next = getMember(Value::obj(current), part);
            if (!next.isObject() && current->instance) {
                Instance* child = flashgrab::childNamed(*current->instance, part, caseless);
                next = child ? Value::obj(objectOf(*child)) : Value{};
            }
            current = next.isObject() ? next.object : nullptr;
        }
    }
    return current;
}

Value Avm1::childNamed(Instance& instance, std::string_view name) {
    Instance* child = flashgrab::childNamed(instance, name, swfVersion() < 7);
    return child ? Value::obj(objectOf(*child)) : Value{};
}

Object* Avm1::targetOf(const Value& v, Object* from) {
    if (v.isObject()) return v.object;
    std::string path = toString(v);
    return path.empty() ? from : resolveTarget(path, from);
}

std::string Avm1::clipPath(Object* clip) {
    std::vector<std::string> names;
    for (Instance* i = clip->instance; i && i->parent; i = i->parent) names.push_back(i->name);
    std::string path = "_level0";
    for (auto it = names.rbegin(); it != names.rend(); ++it) path += "." + *it;
    return path;
}

int Avm1::frameNumber(const TimelineState* timeline, const Value& frame) {
    if (!timeline || !timeline->timeline) return 0;
    if (frame.type != Value::Type::String) {
        double n = toNumber(frame);
        return std::isfinite(n) ? static_cast<int>(std::clamp(n, -1e6, 1e6)) : 0;
    }
    std::string_view text = *frame.text;
    double n = toNumber(frame);
    if (std::isfinite(n)) return static_cast<int>(std::clamp(n, -1e6, 1e6));
    auto found = timeline->timeline->labels.find(lower(text));
    return found != timeline->timeline->labels.end() ? found->second : 0;
}

void Avm1::gotoFrame(Object* clip, const Value& frame, GotoMode mode, int bias) {
    // "path:frame" names the frame of another clip.
    if (frame.type == Value::Type::String) {
        auto colon = frame.text->rfind(':');
        if (colon != std::string::npos) {
            Object* other = resolveTarget(std::string_view(*frame.text).substr(0, colon), clip);
            if (other) gotoFrame(other, Value::str(frame.text->substr(colon + 1)), mode, bias);
            return;
        }
    }
    if (!clip || !clip->instance || !clip->instance->timeline) return;
    TimelineState& timeline = *clip->instance->timeline;
    int number = frameNumber(&timeline, frame);
    if (number <= 0) return;
    if (frame.type != Value::Type::String || std::isfinite(toNumber(frame))) number += bias;
    if (mode == GotoMode::Play) timeline.stopped = false;
    if (mode == GotoMode::Stop) timeline.stopped = true;
    player_.gotoFrame(timeline, number);
}

Value Avm1::getProperty(Object* clip, int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kPropertyNames))) return Value{};
    return getMember(Value::obj(clip), kPropertyNames[index]);
}

void Avm1::setProperty(Object* clip, int index, const Value& value) {
    if (index < 0 || index >= static_cast<int>(std::size(kPropertyNames))) return;
    setMember(Value::obj(clip), kPropertyNames[index], value);
}

Value Avm1::clipProperty(Instance& instance, Object* object, std::string_view name, bool& found) {
    found = true;
    const Matrix& m = instance.matrix;
    if (!name.empty() && name[0] == '_') {
        if (name == "_x") return Value::num(m.tx / 20);
        if (name == "_y") return Value::num(m.ty / 20);
        if (name == "_xscale") return Value::num(std::hypot(m.a, m.b) * 100);
        if (name == "_yscale") return Value::num(std::hypot(m.c, m.d) * 100);
        if (name == "_rotation") return Value::num(degrees(std::atan2(m.b, m.a)));
        if (name == "_alpha") return Value::num(instance.colorTransform.mul[3] * 100);
        if (name == "_visible") return Value::boolean(instance.visible);
        if (name == "_name") return Value::str(instance.name);
        if (name == "_width" || name == "_height") {
            auto box = boundsIn(instance, instance.matrix, movie_);
            if (!box) return Value::num(0);
            return Value::num((name == "_width" ? box->xMax - box->xMin : box->yMax - box->yMin) / 20);
        }
        if (name == "_currentframe") return Value::num(instance.timeline ? std::max(instance.timeline->current, 1) : 1);
        if (name == "_totalframes" || name == "_framesloaded")
            return Value::num(instance.timeline && instance.timeline->timeline
                                  ? static_cast<double>(instance.timeline->timeline->frames.size())
                                  : 1);
        if (name == "_parent") return instance.parent ? Value::obj(objectOf(*instance.parent)) : Value{};
        if (name == "_root" || name == "_level0") return Value::obj(root());
        if (name == "_global") return Value::obj(global_);
        if (name == "_target") return Value::str(clipPath(object));
        if (name == "_quality") return Value::str("HIGH");
        if (name == "_xmouse" || name == "_ymouse") return Value::num(0);
    }
    if (object->kind == ObjectKind::TextField) {
        const EditText* field = instance.text ? &instance.text->field : nullptr;
        if (!field) {
            auto character = movie_.characters.find(instance.characterId);
            if (character != movie_.characters.end())
                if (auto* edit = std::get_if<EditTextCharacter>(&character->second)) field = &edit->field;
        }
        if (field) {
            if (name == "text" || name == "htmlText") return Value::str(field->text);
            if (name == "textColor") return Value::num((field->color.r << 16) | (field->color.g << 8) | field->color.b);
            if (name == "border") return Value::boolean(field->border);
            if (name == "background") return Value::boolean(field->background);
            if (name == "borderColor" || name == "backgroundColor") {
                const Rgba& c = name == "borderColor" ? field->borderColor : field->backgroundColor;
                return Value::num((c.r << 16) | (c.g << 8) | c.b);
            }
            if (name == "multiline") return Value::boolean(field->multiline);
            if (name == "wordWrap") return Value::boolean(field->wordWrap);
            if (name == "html") return Value::boolean(field->html);
        }
    }
    if (name == "transform") {
        Object* transform = newObject(objectProto());
        if (!transform) return Value{};
        transform->kind = ObjectKind::Transform;
        transform->target = Value::obj(object);
        return Value::obj(transform);
    }
    found = false;
    return Value{};
}

bool Avm1::setClipProperty(Instance& instance, std::string_view name, const Value& value) {
    Matrix& m = instance.matrix;
    if (!name.empty() && name[0] == '_') {
        double n = toNumber(value);
        bool number = std::isfinite(n);
        if (name == "_x" || name == "_y" || name == "_xscale" || name == "_yscale" || name == "_rotation" ||
            name == "_width" || name == "_height")
            instance.scriptMoved = true;
        if (name == "_alpha") instance.scriptColoured = true;
        if (name == "_x") {
            if (number) m.tx = n * 20;
        } else if (name == "_y") {
            if (number) m.ty = n * 20;
        } else if (name == "_xscale" || name == "_yscale") {
            if (number) {
                bool x = name == "_xscale";
                double& p = x ? m.a : m.c;
                double& q = x ? m.b : m.d;
                double length = std::hypot(p, q);
                double wanted = n / 100;
                if (length > 0) {
                    p *= wanted / length;
                    q *= wanted / length;
                } else {
                    double angle = std::atan2(m.b, m.a);
                    p = x ? wanted * std::cos(angle) : -wanted * std::sin(angle);
                    q = x ? wanted * std::sin(angle) : wanted * std::cos(angle);
                }
            }
        } else if (name == "_rotation") {
            if (number) {
                double xs = std::hypot(m.a, m.b), ys = std::hypot(m.c, m.d);
                double r = std::fmod(n, 360) * std::numbers::pi / 180;
                m.a = xs * std::cos(r);
                m.b = xs * std::sin(r);
                m.c = -ys * std::sin(r);
                m.d = ys * std::cos(r);
            }
        } else if (name == "_alpha") {
            if (number) instance.colorTransform.mul[3] = n / 100;
        } else if (name == "_visible") {
            instance.visible = toBoolean(value, swfVersion());
        } else if ((name == "_width" || name == "_height") && instance.link.object &&
                   instance.link.object->kind == ObjectKind::TextField) {
            // A text field changes its box, not its scale: the text keeps its size.
            if (number && n >= 0 && n < 1e6) {
                TextFieldState& state = textFieldOf(instance);
                Rect& r = state.field.bounds;
                if (name == "_width")
                    r.xMax = r.xMin + static_cast<std::int32_t>(n * 20);
                else
                    r.yMax = r.yMin + static_cast<std::int32_t>(n * 20);
                state.layoutVersion = ++textVersion_;
            }
        } else if (name == "_width" || name == "_height") {
            auto box = boundsIn(instance, Matrix{}, movie_);
            bool width = name == "_width";
            double size = box ? (width ? box->xMax - box->xMin : box->yMax - box->yMin) : 0;
            if (number && size > 0) {
                double scale = n * 20 / size;
                if (width) {
                    double angle = std::atan2(m.b, m.a);
                    m.a = scale * std::cos(angle);
                    m.b = scale * std::sin(angle);
                } else {
                    double angle = std::atan2(-m.c, m.d);
                    m.c = -scale * std::sin(angle);
                    m.d = scale * std::cos(angle);
                }
            }
        } else if (name == "_name") {
            instance.name = toString(value);
        } else if (name == "_currentframe" || name == "_totalframes" || name == "_target" || name == "_parent" ||
                   name == "_framesloaded" || name == "_xmouse" || name == "_ymouse") {
            // read-only
        } else {
            return false;
        }
        return true;
    }
    if (name == "cacheAsBitmap") {
        instance.cacheAsBitmap = toBoolean(value, swfVersion());
        return false;  // also kept as a property, to read back
    }
    if (name == "opaqueBackground") {
        double n = toNumber(value);
        if (value.type == Value::Type::Undefined || value.type == Value::Type::Null || !std::isfinite(n)) {
            instance.opaqueBackground.reset();
        } else {
            auto rgb = static_cast<std::uint32_t>(toInt32(n));
            instance.opaqueBackground = Rgba{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                             static_cast<std::uint8_t>(rgb), 255};
        }
        return false;  // also kept as a property, to read back
    }
    if (name == "scrollRect") {
        if (value.isObject()) {
            Value v = value;
            double x = toNumber(getMember(v, "x")), y = toNumber(getMember(v, "y"));
            double w = toNumber(getMember(v, "width")), h = toNumber(getMember(v, "height"));
            if (std::isfinite(x) && std::isfinite(y) && std::isfinite(w) && std::isfinite(h) && std::fabs(x) < 1e7 &&
                std::fabs(y) < 1e7 && std::fabs(w) < 1e7 && std::fabs(h) < 1e7)
                instance.scrollRect = Rect{static_cast<std::int32_t>(x * 20), static_cast<std::int32_t>((x + w) * 20),
                                           static_cast<std::int32_t>(y * 20), static_cast<std::int32_t>((y + h) * 20)};
        } else {
            instance.scrollRect.reset();
        }
        return false;  // also kept as a property, so reading it back gives the rectangle
    }
    if (instance.link.object && instance.link.object->kind == ObjectKind::TextField) {
        static constexpr std::string_view textProperties[] = {
            "text",     "htmlText", "textColor",  "border",          "multiline",
            "wordWrap", "html",     "background", "backgroundColor", "borderColor"};
        if (std::find(std::begin(textProperties), std::end(textProperties), name) == std::end(textProperties))
            return false;
        TextFieldState& state = textFieldOf(instance);
        EditText& field = state.field;
        if (name == "text" || name == "htmlText") {
            field.text = toString(value);
            if (name == "htmlText" && !field.html) field.text = toString(value);
        } else if (name == "textColor" || name == "borderColor" || name == "backgroundColor") {
            auto rgb = static_cast<std::uint32_t>(toInt32(toNumber(value)));
            Rgba c{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                   static_cast<std::uint8_t>(rgb), 255};
            (name == "textColor" ? field.color : name == "borderColor" ? field.borderColor : field.backgroundColor) = c;
        } else if (name == "background") {
            field.background = toBoolean(value, swfVersion());
        } else if (name == "border") {
            field.border = toBoolean(value, swfVersion());
        } else if (name == "multiline") {
            field.multiline = toBoolean(value, swfVersion());
        } else if (name == "wordWrap") {
            field.wordWrap = toBoolean(value, swfVersion());
        } else if (name == "html") {
            field.html = toBoolean(value, swfVersion());
        }
        state.layoutVersion = ++textVersion_;
        return true;
    }
    return false;
}

Value Avm1::transformMember(Object* transform, std::string_view name) {
    Instance* clip = transform->target.isObject() ? transform->target.object->instance : nullptr;
    if (!clip) return Value{};
    Value geom = getMember(getMember(Value::obj(global_), "flash"), "geom");
    if (name == "matrix") {
        const Matrix& m = clip->matrix;
        return construct(getMember(geom, "Matrix"), {Value::num(m.a), Value::num(m.b), Value::num(m.c), Value::num(m.d),
                                                     Value::num(m.tx / 20), Value::num(m.ty / 20)});
    }
    const ColorTransform& cx = clip->colorTransform;
    return construct(getMember(geom, "ColorTransform"),
                     {Value::num(cx.mul[0]), Value::num(cx.mul[1]), Value::num(cx.mul[2]), Value::num(cx.mul[3]),
                      Value::num(cx.add[0]), Value::num(cx.add[1]), Value::num(cx.add[2]), Value::num(cx.add[3])});
}

bool Avm1::setTransformMember(Object* transform, std::string_view name, const Value& value) {
    if (name != "matrix" && name != "colorTransform") return false;
    Instance* clip = transform->target.isObject() ? transform->target.object->instance : nullptr;
    if (!clip || !value.isObject()) return true;
    auto read = [&](const char* key, double fallback) {
        double n = toNumber(getMember(value, key));
        return std::isfinite(n) && std::fabs(n) < 1e9 ? n : fallback;
    };
    if (name == "matrix") {
        clip->matrix =
            Matrix{read("a", 1), read("b", 0), read("c", 0), read("d", 1), read("tx", 0) * 20, read("ty", 0) * 20};
    } else {
        clip->scriptColoured = true;
        ColorTransform& cx = clip->colorTransform;
        const char* muls[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier"};
        const char* adds[] = {"redOffset", "greenOffset", "blueOffset", "alphaOffset"};
        for (std::size_t c = 0; c < 4; ++c) {
            cx.mul[c] = read(muls[c], 1);
            cx.add[c] = read(adds[c], 0);
        }
    }
    return true;
}

TextFieldState& Avm1::textFieldOf(Instance& instance) {
    if (!instance.text) {
        instance.text = std::make_unique<TextFieldState>();
        auto character = movie_.characters.find(instance.characterId);
        if (character != movie_.characters.end())
            if (auto* edit = std::get_if<EditTextCharacter>(&character->second)) instance.text->field = edit->field;
        instance.text->layoutVersion = ++textVersion_;
    }
    return *instance.text;
}

}  // namespace flashgrab
