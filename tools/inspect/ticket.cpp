#include <algorithm>
#include <cctype>
#include <iterator>

#include "common/utf8.h"
#include "tools/inspect/inspect-private.h"

namespace zlk::inspect::internal {

namespace {

// Tickets nest a few levels; the bound keeps element paths of hostile
// input from growing with the square of its length.
constexpr std::size_t kTicketMaxDepth = 32;

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool IsXmlChar(char32_t cp)
{
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
}

// Well-formedness of the XML the ticket writer produces: a declaration,
// then one element tree of start and end tags without attributes, text in
// UTF-8 with the predefined entities and character references, comments.
// DOCTYPE, CDATA and processing instructions have no place in a ticket.
class XmlChecker {
public:
    XmlChecker(std::string_view data, std::size_t begin, std::size_t end, std::vector<TicketElement>& elements)
        : data_(data),
          pos_(begin),
          end_(end),
          elements_(elements)
    {}

    std::optional<Problem> Check()
    {
        if (!Declaration() || !Misc())
            return problem_;
        if (AtEnd())
            return Fail("the job ticket has no root element", pos_);
        if (Peek() != '<')
            return Fail("text before the ticket's root element", pos_);
        if (!Content() || !Misc())
            return problem_;
        if (!AtEnd())
            return Fail("content after the ticket's root element", pos_);
        return std::nullopt;
    }

private:
    struct Open {
        std::string name;
        std::size_t at;
        std::size_t element;  // index into elements_
        std::string text;
        bool hasChildren = false;
    };

    bool AtEnd() const { return pos_ >= end_; }
    char Peek() const { return data_[pos_]; }
    bool Next(std::string_view text) const { return StartsWith(data_.substr(pos_, end_ - pos_), text); }

    std::optional<Problem> Fail(std::string what, std::size_t at)
    {
        if (!problem_)
            problem_ = Problem{std::move(what), at};
        return problem_;
    }
    bool Failed(std::string what, std::size_t at)
    {
        Fail(std::move(what), at);
        return false;
    }
    // The ticket stops before it is complete.
    bool Unfinished(const std::string& expected)
    {
        if (!stack_.empty())
            return Failed("the ticket ends with <" + stack_.back().name + "> (from byte " +
                              std::to_string(stack_.back().at) + ") still open, expecting " + expected,
                          end_);
        return Failed("the ticket ends before " + expected, end_);
    }

    void SkipSpace()
    {
        while (!AtEnd() && IsXmlSpace(Peek()))
            ++pos_;
    }

    bool Name(std::string& name)
    {
        const std::size_t start = pos_;
        if (AtEnd() || !IsNameStart(static_cast<unsigned char>(Peek())))
            return false;
        while (!AtEnd() && IsNameChar(static_cast<unsigned char>(Peek())))
            ++pos_;
        name.assign(data_.substr(start, pos_ - start));
        return common::IsValidUtf8(name);
    }

    bool Declaration()
    {
        if (!Next("<?xml"))
            return Failed("the job ticket does not start with an XML declaration", pos_);
        if (pos_ + 5 >= end_)
            return Unfinished("the XML declaration");
        if (!IsXmlSpace(data_[pos_ + 5]))
            return Failed("the job ticket does not start with an XML declaration", pos_);
        const std::size_t start = pos_;
        pos_ += 5;
        bool first = true;
        for (;;) {
            SkipSpace();
            if (AtEnd())
                return Unfinished("the end of the XML declaration");
            if (Next("?>")) {
                pos_ += 2;
                if (first)
                    return Failed("the XML declaration has no version", start);
                return true;
            }
            const std::size_t at = pos_;
            std::string name, value;
            if (Peek() == '?' && pos_ + 1 == end_)
                return Unfinished("the end of the XML declaration");
            if (!Name(name))
                return Failed("unexpected character in the XML declaration", at);
            SkipSpace();
            if (AtEnd())
                return Unfinished("the end of the XML declaration");
            if (Peek() != '=')
                return Failed("XML declaration item " + name + " has no value", at);
            ++pos_;
            SkipSpace();
            if (AtEnd())
                return Unfinished("the end of the XML declaration");
            if (Peek() != '"' && Peek() != '\'')
                return Failed("XML declaration item " + name + " is not quoted", at);
            const char quote = Peek();
            const std::size_t close = data_.substr(0, end_).find(quote, pos_ + 1);
            if (close == std::string_view::npos)
                return Unfinished("the end of the XML declaration");
            value.assign(data_.substr(pos_ + 1, close - pos_ - 1));
            pos_ = close + 1;
            if (first && name != "version")
                return Failed("the XML declaration does not begin with its version", at);
            if (name == "version") {
                if (!first || value.size() < 3 || value.substr(0, 2) != "1." || !IsDigits(value.substr(2)))
                    return Failed("XML version " + Quote(value) + " is not 1.x", at);
            } else if (name == "encoding") {
                std::string upper = value;
                for (char& c : upper)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                if (upper != "UTF-8")
                    return Failed("the ticket's encoding is " + Quote(value) + ", not UTF-8", at);
            } else if (name != "standalone" || (value != "yes" && value != "no")) {
                return Failed("unexpected XML declaration item " + name, at);
            }
            first = false;
        }
    }

    bool Comment()
    {
        const std::size_t close = data_.substr(0, end_).find("--", pos_ + 4);
        if (close == std::string_view::npos)
            return Unfinished("the end of a comment");
        if (close + 2 >= end_ || data_[close + 2] != '>')
            return Failed("\"--\" inside a comment", close);
        if (auto bad = CheckText(pos_ + 4, close))
            return Failed(bad->what, bad->at);
        pos_ = close + 3;
        return true;
    }

    // Markup that is allowed outside and inside the root: space and comments.
    bool Misc()
    {
        for (;;) {
            SkipSpace();
            if (AtEnd() || !Next("<!--"))
                return true;
            if (!Comment())
                return false;
        }
    }

    // Characters in [from, to): UTF-8, no C0 control other than TAB, LF
    // (and CR, which the line check reports), nothing XML excludes.
    std::optional<Problem> CheckText(std::size_t from, std::size_t to) const
    {
        char32_t cp = 0;
        for (std::size_t at = from; at < to;) {
            const std::size_t n = common::Utf8CharLength(data_.substr(0, to), at, &cp);
            if (n == 0)
                return Problem{
                    "byte 0x" + HexByte(static_cast<unsigned char>(data_[at])) + " in the ticket is not UTF-8", at};
            if (!IsXmlChar(cp))
                return Problem{cp < 0x20
                                   ? "control character 0x" + HexByte(static_cast<unsigned char>(cp)) + " in the ticket"
                                   : "character U+" + HexByte(static_cast<unsigned char>(cp >> 8)) +
                                         HexByte(static_cast<unsigned char>(cp)) + " is not allowed in XML",
                               at};
            at += n;
        }
        return std::nullopt;
    }

    bool Reference(std::string& text)
    {
        const std::size_t start = pos_;
        const std::size_t semicolon = data_.substr(0, end_).find(';', pos_);
        // References are short; a far semicolon means none ends this one.
        if (semicolon == std::string_view::npos || semicolon - pos_ > 12) {
            if (semicolon == std::string_view::npos && end_ - pos_ <= 12)
                return Unfinished("the end of a reference");
            return Failed("\"&\" that starts no reference " + Quote(data_.substr(pos_, 12)), start);
        }
        const std::string_view body = data_.substr(pos_ + 1, semicolon - pos_ - 1);
        if (!body.empty() && body[0] == '#') {
            const bool hex = body.size() > 1 && body[1] == 'x';
            const std::string_view digits = body.substr(hex ? 2 : 1);
            char32_t cp = 0;
            bool ok = !digits.empty();
            for (char c : digits) {
                int value = -1;
                if (c >= '0' && c <= '9')
                    value = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    value = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    value = c - 'A' + 10;
                if (value < 0 || cp > 0x10FFFF) {
                    ok = false;
                    break;
                }
                cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(value);
            }
            if (!ok || !IsXmlChar(cp))
                return Failed("bad character reference " + Quote(data_.substr(pos_, semicolon + 1 - pos_)), start);
            common::AppendUtf8(text, cp);
        } else {
            static constexpr std::pair<std::string_view, char> kEntities[] = {
                {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
            const auto* entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                              [&](const auto& e) { return e.first == body; });
            if (entity == std::end(kEntities))
                return Failed("unknown entity " + Quote(data_.substr(pos_, semicolon + 1 - pos_)), start);
            text += entity->second;
        }
        pos_ = semicolon + 1;
        return true;
    }

    bool StartTag()
    {
        const std::size_t start = pos_;
        ++pos_;
        std::string name;
        if (!Name(name))
            return AtEnd() ? Unfinished("an element name") : Failed("\"<\" that starts no element name", start);
        for (;;) {
            const std::size_t before = pos_;
            SkipSpace();
            if (AtEnd())
                return Unfinished("the end of the tag <" + name + ">");
            if (Peek() == '>' || Next("/>")) {
                if (stack_.size() >= kTicketMaxDepth)
                    return Failed("elements nested deeper than " + std::to_string(kTicketMaxDepth) + " levels", start);
                const bool empty = Peek() == '/';
                pos_ += empty ? 2 : 1;
                std::string path = stack_.empty() ? name : elements_[stack_.back().element].path + "/" + name;
                if (!stack_.empty()) {
                    stack_.back().hasChildren = true;
                    elements_[stack_.back().element].leaf = false;
                }
                elements_.push_back(TicketElement{std::move(path), static_cast<int>(stack_.size()), true, {}, start});
                if (!empty)
                    stack_.push_back(Open{name, start, elements_.size() - 1, {}, false});
                return true;
            }
            if (IsNameStart(static_cast<unsigned char>(Peek())) && before != pos_)
                return Failed("element <" + name + "> has an attribute; ticket elements carry none", pos_);
            return Failed("unexpected " + Quote(data_.substr(pos_, 1)) + " in the tag <" + name + ">", pos_);
        }
    }

    bool EndTag()
    {
        const std::size_t start = pos_;
        pos_ += 2;
        std::string name;
        if (!Name(name))
            return AtEnd() ? Unfinished("an element name") : Failed("\"</\" that starts no element name", start);
        SkipSpace();
        if (AtEnd())
            return Unfinished("the end of the tag </" + name + ">");
        if (Peek() != '>')
            return Failed("unexpected " + Quote(data_.substr(pos_, 1)) + " in the end tag </" + name + ">", pos_);
        ++pos_;
        if (stack_.empty())
            return Failed("end tag </" + name + "> without a start tag", start);
        Open& open = stack_.back();
        if (open.name != name)
            return Failed("end tag </" + name + "> does not match the open <" + open.name + "> (from byte " +
                              std::to_string(open.at) + ")",
                          start);
        // Blank lines between a start and end tag are layout, not a value.
        const bool layout =
            open.text.find('\n') != std::string::npos && std::all_of(open.text.begin(), open.text.end(), IsXmlSpace);
        if (!open.hasChildren && !layout)
            elements_[open.element].value = std::move(open.text);
        stack_.pop_back();
        return true;
    }

    // The root element and everything in it.
    bool Content()
    {
        if (!StartTag())
            return false;
        while (!stack_.empty()) {
            if (AtEnd())
                return Unfinished("</" + stack_.back().name + ">");
            const char c = Peek();
            if (c == '<') {
                bool ok;
                if (Next("</"))
                    ok = EndTag();
                else if (Next("<!--"))
                    ok = Comment();
                else if (Next("<![CDATA["))
                    ok = Failed("CDATA section in the ticket; values are written as text", pos_);
                else if (Next("<!") || Next("<?"))
                    ok = Failed("declaration or processing instruction inside the ticket", pos_);
                else
                    ok = StartTag();
                if (!ok)
                    return false;
            } else if (c == '&') {
                if (!Reference(stack_.back().text))
                    return false;
            } else {
                const std::size_t stop = std::min(data_.substr(0, end_).find_first_of("<&", pos_), end_);
                const std::string_view run = data_.substr(pos_, stop - pos_);
                if (auto bad = CheckText(pos_, stop))
                    return Failed(bad->what, bad->at);
                const std::size_t cdataEnd = run.find("]]>");
                if (cdataEnd != std::string_view::npos)
                    return Failed("\"]]>\" in ticket text", pos_ + cdataEnd);
                stack_.back().text.append(run);
                pos_ = stop;
            }
        }
        return true;
    }

    std::string_view data_;
    std::size_t pos_;
    std::size_t end_;
    std::vector<TicketElement>& elements_;
    std::vector<Open> stack_;
    std::optional<Problem> problem_;
};

}  // namespace

std::optional<Problem> ReadTicketXml(std::string_view data, std::size_t begin, std::size_t end,
                                     std::vector<TicketElement>& elements)
{
    return XmlChecker(data, begin, end, elements).Check();
}

}  // namespace zlk::inspect::internal
