// The source assembler: parses the line-oriented source into ScriptBuilder calls.
#include "formats/script/script_asm.h"

#include <cctype>
#include <cstdlib>

#include "platform/text/cp932.h"

namespace v4fmt {
namespace {

enum class Tok { kInt, kStr, kSwitch, kLabel, kCall, kComma, kLParen, kRParen, kOp, kWord, kEnd };

struct Token {
  Tok type = Tok::kEnd;
  int64_t num = 0;
  std::string text;  // CP932 for strings, names and call arguments; the operator for kOp
  int func = 0;
};

bool IsNameByte(unsigned char c) { return c >= 0x80 || std::isalnum(c) || c == '_' || c == '.' || c == '-'; }

class Assembler {
 public:
  Assembler(ScriptBuilder& b) : b_(b) {}

  void Error(const std::string& text) { b_.AddError(text); }

  bool ToCp932(std::string_view utf8, std::string& out) {
    if (!plat::Utf8ToCp932Strict(utf8, out)) {
      Error("text \"" + plat::Utf8ToCp932(utf8) + "\" holds characters that Shift-JIS cannot encode");
      return false;
    }
    return true;
  }

  // Splits an operand text into tokens. False on a lexical error (reported).
  bool Lex(std::string_view s, std::vector<Token>& out) {
    size_t i = 0;
    while (i < s.size()) {
      unsigned char c = static_cast<unsigned char>(s[i]);
      if (c == ' ' || c == '\t') {
        ++i;
        continue;
      }
      Token t;
      if (c == ',') {
        t.type = Tok::kComma;
        ++i;
      } else if (c == '(') {
        t.type = Tok::kLParen;
        ++i;
      } else if (c == ')') {
        t.type = Tok::kRParen;
        ++i;
      } else if (c == '"') {
        std::string raw;
        ++i;
        bool closed = false;
        while (i < s.size()) {
          char ch = s[i++];
          if (ch == '"') {
            closed = true;
            break;
          }
          // Only \" \\ and \n are escapes: paths keep their backslashes as written.
          if (ch == '\\' && i < s.size() && (s[i] == '"' || s[i] == '\\' || s[i] == 'n')) {
            char e = s[i++];
            raw += e == 'n' ? '\n' : e;
          } else {
            raw += ch;
          }
        }
        if (!closed) {
          Error("string without its closing quote");
          return false;
        }
        t.type = Tok::kStr;
        if (!ToCp932(raw, t.text)) return false;
      } else if (c == '{') {
        size_t close = s.find('}', i);
        if (close == std::string_view::npos) {
          Error("function call without its closing '}'");
          return false;
        }
        std::string_view body = s.substr(i + 1, close - i - 1);
        size_t colon = body.find(':');
        std::string_view id = body.substr(0, colon);
        char* end = nullptr;
        std::string idText(id);
        long v = std::strtol(idText.c_str(), &end, 0);
        if (idText.empty() || *end != '\0' || v < 0 || v > 255) {
          Error("function id \"" + idText + "\" is not a number 0..255");
          return false;
        }
        t.type = Tok::kCall;
        t.func = static_cast<int>(v);
        if (colon != std::string_view::npos && !ToCp932(body.substr(colon + 1), t.text)) return false;
        i = close + 1;
      } else if (c == '$' || c == '*') {
        size_t j = i + 1;
        while (j < s.size() && IsNameByte(static_cast<unsigned char>(s[j])) && s[j] != '-') ++j;
        std::string_view name = s.substr(i + 1, j - i - 1);
        if (name.empty()) {
          Error(std::string("'") + static_cast<char>(c) + "' without a name");
          return false;
        }
        t.type = c == '$' ? Tok::kSwitch : Tok::kLabel;
        if (std::isdigit(static_cast<unsigned char>(name[0]))) {
          std::string n(name);
          char* end = nullptr;
          t.num = std::strtoll(n.c_str(), &end, 10);
          if (*end != '\0') {
            Error("\"" + n + "\": a name cannot begin with a digit");
            return false;
          }
          t.text.clear();
        } else if (!ToCp932(name, t.text)) {
          return false;
        }
        i = j;
      } else if (std::isdigit(c) ||
                 ((c == '-' || c == '+') && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
        size_t j = i + 1;
        while (j < s.size() && std::isalnum(static_cast<unsigned char>(s[j]))) ++j;
        std::string n(s.substr(i, j - i));
        char* end = nullptr;
        t.num = std::strtoll(n.c_str(), &end, 0);
        if (*end != '\0') {
          Error("\"" + n + "\" is not a number");
          return false;
        }
        t.type = Tok::kInt;
        i = j;
      } else if (std::string_view("=!<>&|").find(static_cast<char>(c)) != std::string_view::npos) {
        static const char* const kOps[] = {"==", "!=", ">=", "<=", "&&", "||", ">", "<", "!"};
        bool found = false;
        for (const char* op : kOps) {
          std::string_view o(op);
          if (s.substr(i, o.size()) == o) {
            t.type = Tok::kOp;
            t.text = op;
            i += o.size();
            found = true;
            break;
          }
        }
        if (!found) {
          Error("unknown operator at \"" + plat::Utf8ToCp932(s.substr(i)) + "\"");
          return false;
        }
      } else {
        size_t j = i;
        while (j < s.size() && IsNameByte(static_cast<unsigned char>(s[j]))) ++j;
        if (j == i) j = i + 1;
        t.type = Tok::kWord;
        t.text = std::string(s.substr(i, j - i));
        i = j;
      }
      out.push_back(std::move(t));
    }
    return true;
  }

  bool SwitchNumber(const Token& t, uint32_t& out) {
    if (t.type != Tok::kSwitch) {
      Error("a switch ($name or $number) was expected");
      return false;
    }
    if (t.text.empty()) {
      if (t.num < 0 || t.num >= static_cast<int64_t>(kSwitchCount)) {
        Error("switch $" + std::to_string(t.num) + " outside 0..8192");
        return false;
      }
      out = static_cast<uint32_t>(t.num);
      return true;
    }
    int idx = b_.SwitchIndex(t.text);
    if (idx < 0) {
      Error("switch $" + t.text + " is not declared");
      return false;
    }
    out = static_cast<uint32_t>(idx);
    return true;
  }

  bool Number(const Token& t, uint32_t& out) {
    if (t.type != Tok::kInt || t.num < INT32_MIN || t.num > static_cast<int64_t>(UINT32_MAX)) {
      Error("a 32-bit number was expected");
      return false;
    }
    out = static_cast<uint32_t>(t.num);
    return true;
  }

  bool Value(const Token& t, ScriptValue& v) {
    if (t.type == Tok::kInt) {
      if (t.num < INT32_MIN || t.num > static_cast<int64_t>(UINT32_MAX)) {
        Error("value " + std::to_string(t.num) + " does not fit 32 bits");
        return false;
      }
      v = ScriptValue::Imm(static_cast<int32_t>(static_cast<uint32_t>(t.num)));
      return true;
    }
    if (t.type == Tok::kSwitch) {
      uint32_t s;
      if (!SwitchNumber(t, s)) return false;
      v = ScriptValue::Switch(s);
      return true;
    }
    if (t.type == Tok::kCall) {
      if (t.text.size() > kMaxCallArgBytes) {
        Error("function argument longer than 255 bytes");
        return false;
      }
      v = ScriptValue::Call(static_cast<uint8_t>(t.func), t.text);
      return true;
    }
    Error("a value (number, $switch or {id:argument}) was expected");
    return false;
  }

  bool LabelRef(const Token& t, char shape, ScriptOperand& op, std::string* symbol) {
    op.shape = shape;
    if (t.type == Tok::kInt || (t.type == Tok::kLabel && t.text.empty())) {
      if (t.num < 0 || t.num > UINT32_MAX) {
        Error("label number out of range");
        return false;
      }
      op.num = static_cast<uint32_t>(t.num);
      return true;
    }
    if (t.type != Tok::kLabel) {
      Error("a label (*name) was expected");
      return false;
    }
    *symbol = t.text;
    return true;
  }

  // Condition: term (joiner term)*, term = [!] value [comparison value].
  bool Condition(const std::vector<Token>& toks, size_t i, std::vector<ScriptValue>& out) {
    static const struct {
      const char* op;
      int32_t word;
    } kCmp[] = {{"==", kCondEq}, {"!=", kCondNe}, {">", kCondGt}, {"<", kCondLt}, {">=", kCondGe}, {"<=", kCondLe}};
    auto cmpWord = [&](const Token& t) -> int32_t {
      if (t.type != Tok::kOp) return -1;
      for (const auto& c : kCmp)
        if (t.text == c.op) return c.word;
      return -1;
    };
    if (i >= toks.size()) {
      Error("empty condition");
      return false;
    }
    for (;;) {
      bool negate = false;
      if (i < toks.size() && toks[i].type == Tok::kOp && toks[i].text == "!") {
        negate = true;
        ++i;
      }
      ScriptValue a;
      if (i >= toks.size() || !Value(toks[i], a)) {
        if (i >= toks.size()) Error("condition ends where a term belongs");
        return false;
      }
      ++i;
      out.push_back(a);
      int32_t cmp = i < toks.size() ? cmpWord(toks[i]) : -1;
      if (negate) {
        if (cmp >= 0) {
          Error("'!' applies to a single value; invert the comparison instead");
          return false;
        }
        // "!x" is "x == 0": the negation bit is never written.
        out.push_back(ScriptValue::Imm(kCondEq));
        out.push_back(ScriptValue::Imm(0));
      } else if (cmp >= 0) {
        ++i;
        ScriptValue b;
        if (i >= toks.size() || !Value(toks[i], b)) {
          if (i >= toks.size()) Error("comparison without its right side");
          return false;
        }
        ++i;
        out.push_back(ScriptValue::Imm(cmp));
        out.push_back(b);
      }
      if (i >= toks.size()) break;
      if (toks[i].type == Tok::kOp && (toks[i].text == "&&" || toks[i].text == "||")) {
        out.push_back(ScriptValue::Imm(toks[i].text == "&&" ? kCondAnd : kCondOr));
        ++i;
        continue;
      }
      Error("unexpected token in condition");
      return false;
    }
    if (out.size() > kMaxCondValues) {
      Error("condition longer than 256 values");
      return false;
    }
    return true;
  }

  // Splits tokens into comma-separated items; a parenthesised group is one item.
  struct Item {
    std::vector<Token> toks;
    bool group = false;
  };
  bool Items(const std::vector<Token>& toks, size_t from, std::vector<Item>& items) {
    Item cur;
    bool any = false;
    for (size_t i = from; i < toks.size(); ++i) {
      const Token& t = toks[i];
      if (t.type == Tok::kComma) {
        if (!any) {
          Error("empty operand");
          return false;
        }
        items.push_back(std::move(cur));
        cur = Item{};
        any = false;
      } else if (t.type == Tok::kLParen) {
        if (any) {
          Error("'(' inside an operand");
          return false;
        }
        size_t j = i + 1;
        while (j < toks.size() && toks[j].type != Tok::kRParen) {
          if (toks[j].type == Tok::kLParen) {
            Error("nested parentheses");
            return false;
          }
          ++j;
        }
        if (j == toks.size()) {
          Error("'(' without ')'");
          return false;
        }
        cur.group = true;
        cur.toks.assign(toks.begin() + static_cast<long>(i) + 1, toks.begin() + static_cast<long>(j));
        any = true;
        i = j;
      } else if (t.type == Tok::kRParen) {
        Error("')' without '('");
        return false;
      } else {
        if (any && !cur.group) {
          Error("operands must be separated by commas");
          return false;
        }
        cur.toks.push_back(t);
        any = true;
      }
    }
    if (any)
      items.push_back(std::move(cur));
    else if (!items.empty()) {
      Error("trailing comma");
      return false;
    }
    return true;
  }

  bool Single(const Item& it, const Token*& t) {
    if (it.group || it.toks.size() != 1) {
      Error("an operand must be a single item here");
      return false;
    }
    t = &it.toks[0];
    return true;
  }

  bool Record(const Item& it, ScriptTextRecord& r) {
    if (!it.group) {
      Error("a text record is written (\"text\", \"text2\", a, b, c, d)");
      return false;
    }
    std::vector<Item> f;
    if (!Items(it.toks, 0, f)) return false;
    if (f.size() != 6) {
      Error("a text record has six fields");
      return false;
    }
    const Token* t[6];
    for (int i = 0; i < 6; ++i)
      if (!Single(f[i], t[i])) return false;
    if (t[0]->type != Tok::kStr || t[1]->type != Tok::kStr) {
      Error("a text record begins with two strings");
      return false;
    }
    uint32_t a, b, c, d;
    if (!Number(*t[2], a) || !Number(*t[3], b) || !Number(*t[4], c) || !Number(*t[5], d)) return false;
    if (a > 255 || b > 255) {
      Error("text record fields a and b are bytes (0..255)");
      return false;
    }
    r = ScriptTextRecord{
        t[0]->text, t[1]->text, static_cast<uint8_t>(a), static_cast<uint8_t>(b), c, static_cast<int32_t>(d)};
    return true;
  }

  void Command(std::string_view line) {
    size_t sp = line.find_first_of(" \t");
    std::string name(line.substr(0, sp));
    int opcode = FindAdvOpcode(name.c_str());
    if (!opcode) {
      Error("unknown command " + plat::Utf8ToCp932(name));
      return;
    }
    std::vector<Token> toks;
    if (sp != std::string_view::npos && !Lex(line.substr(sp), toks)) return;
    const char* shapes = GetAdvOpcodeInfo(opcode).operands;
    ScriptInstruction ins;
    ins.opcode = static_cast<uint8_t>(opcode);
    std::vector<Item> items;
    size_t condStart = 0;
    // A condition takes the rest of the line; only #IfGotoOnce has an operand ahead of it.
    bool hasCond = std::string_view(shapes).find('c') != std::string_view::npos;
    if (hasCond) {
      if (opcode == kOpIfGotoOnce) {
        size_t comma = 0;
        while (comma < toks.size() && toks[comma].type != Tok::kComma) ++comma;
        if (comma == toks.size()) {
          Error("#IfGotoOnce $switch, condition");
          return;
        }
        std::vector<Token> head(toks.begin(), toks.begin() + static_cast<long>(comma));
        if (!Items(head, 0, items)) return;
        condStart = comma + 1;
      }
    } else if (!Items(toks, 0, items)) {
      return;
    }
    size_t item = 0;
    for (const char* p = shapes; *p; ++p) {
      ScriptOperand op;
      op.shape = *p;
      const Token* t = nullptr;
      bool rest = std::string_view("GMWTC").find(*p) != std::string_view::npos;
      if (*p == 'c') {
        if (!Condition(toks, condStart, op.cond)) return;
        ins.ops.push_back(std::move(op));
        continue;
      }
      if (*p == 'w' && opcode == kOpSelect) {  // the ignored word ahead of the choices
        ins.ops.push_back(std::move(op));
        continue;
      }
      if (!rest) {
        if (item >= items.size()) {
          Error(name + ": too few operands");
          return;
        }
        if (!Single(items[item++], t)) return;
      }
      switch (*p) {
        case 'w':
          if (!Number(*t, op.num)) return;
          break;
        case 's':
          if (!SwitchNumber(*t, op.num)) return;
          break;
        case 'l':
        case 'o':
          if (!LabelRef(*t, *p, op, &op.symbol)) return;
          break;
        case 'S':
          if (t->type != Tok::kStr) {
            Error(name + ": a string was expected");
            return;
          }
          op.str = t->text;
          break;
        case 'v':
          if (!Value(*t, op.val)) return;
          break;
        case 'G':
          for (; item < items.size(); ++item) {
            ScriptOperand l;
            std::string sym;
            if (!Single(items[item], t) || !LabelRef(*t, 'l', l, &sym)) return;
            op.list.push_back(l.num);
            op.symbols.push_back(sym);
          }
          break;
        case 'M':
        case 'W':
          for (; item < items.size(); ++item) {
            uint32_t s;
            if (!Single(items[item], t) || !SwitchNumber(*t, s)) return;
            op.list.push_back(s);
          }
          break;
        case 'T':
          for (; item < items.size(); ++item) {
            ScriptTextRecord r;
            if (!Record(items[item], r)) return;
            op.records.push_back(std::move(r));
          }
          break;
        case 'C':
          if ((items.size() - item) % 2 != 0) {
            Error("#Select takes pairs of label and text");
            return;
          }
          for (; item < items.size(); item += 2) {
            ScriptOperand l;
            std::string sym;
            const Token* text = nullptr;
            if (!Single(items[item], t) || !LabelRef(*t, 'l', l, &sym) || !Single(items[item + 1], text)) return;
            if (text->type != Tok::kStr) {
              Error("#Select: a choice text is a string");
              return;
            }
            op.list.push_back(l.num);
            op.symbols.push_back(sym);
            op.texts.push_back(text->text);
          }
          break;
        default:
          break;
      }
      ins.ops.push_back(std::move(op));
    }
    if (item < items.size()) {
      Error(name + ": too many operands");
      return;
    }
    ScriptInstruction full = ins;
    b_.Emit(full.opcode, std::move(full.ops));
  }

  void SwitchDecl(std::string_view line) {
    std::vector<Token> toks;
    // "$name@7 = 5": the name token, an optional @index, an optional "= value".
    size_t eq = line.find('=');
    std::string_view head = line.substr(0, eq);
    while (!head.empty() && (head.back() == ' ' || head.back() == '\t')) head.remove_suffix(1);
    size_t at = head.find('@');
    std::string_view nameUtf8 = head.substr(1, at == std::string_view::npos ? std::string_view::npos : at - 1);
    int index = -1;
    if (at != std::string_view::npos) {
      std::string n(head.substr(at + 1));
      char* end = nullptr;
      long v = std::strtol(n.c_str(), &end, 10);
      if (n.empty() || *end != '\0') {
        Error("switch index \"" + n + "\" is not a number");
        return;
      }
      index = static_cast<int>(v);
      if (v < 0 || v >= static_cast<long>(kSwitchCount)) {
        Error("switch index " + n + " outside 0..8192");
        return;
      }
    }
    if (nameUtf8.empty() || std::isdigit(static_cast<unsigned char>(nameUtf8[0]))) {
      Error("a switch name must not be empty or begin with a digit");
      return;
    }
    for (unsigned char c : nameUtf8) {
      if (!IsNameByte(c) || c == '-') {
        Error("switch name \"" + plat::Utf8ToCp932(nameUtf8) + "\" holds a character names cannot hold");
        return;
      }
    }
    int32_t init = 0;
    if (eq != std::string_view::npos) {
      if (!Lex(line.substr(eq + 1), toks)) return;
      if (toks.size() != 1 || toks[0].type != Tok::kInt || toks[0].num < INT32_MIN || toks[0].num > INT32_MAX) {
        Error("a switch's initial value is one signed 32-bit number");
        return;
      }
      init = static_cast<int32_t>(toks[0].num);
    }
    std::string name;
    if (!ToCp932(nameUtf8, name)) return;
    b_.DeclareSwitch(name, init, index);
  }

  void LabelDecl(std::string_view line) {
    std::vector<Token> toks;
    if (!Lex(line, toks)) return;
    if (toks.empty() || toks[0].type != Tok::kLabel || toks[0].text.empty()) {
      Error("a label is *name, and a name does not begin with a digit");
      return;
    }
    std::string comment;
    if (toks.size() == 2 && toks[1].type == Tok::kStr) {
      comment = toks[1].text;
    } else if (toks.size() != 1) {
      Error("a label line holds *name and an optional \"comment\"");
      return;
    }
    b_.DefineLabel(toks[0].text, comment);
  }

  void Directive(std::string_view line) {
    std::vector<Token> toks;
    size_t sp = line.find_first_of(" \t");
    std::string word(line.substr(0, sp));
    std::string_view rest = sp == std::string_view::npos ? std::string_view() : line.substr(sp + 1);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (word == ".file") {
      std::string name;
      if (rest.empty() || !ToCp932(rest, name)) {
        if (rest.empty()) Error(".file needs a name");
        return;
      }
      b_.SetSource(name);
      return;
    }
    if (!Lex(rest, toks)) return;
    if (word == ".event") {
      if (toks.size() != 2 || toks[0].type != Tok::kInt || toks[1].type != Tok::kWord || toks[0].num < 0) {
        Error(".event number name");
        return;
      }
      if (toks[0].num >= static_cast<int64_t>(kEventCount)) {
        Error("event number " + std::to_string(toks[0].num) + " outside 0..3839");
        return;
      }
      std::string name;
      if (!ToCp932(toks[1].text, name)) return;
      b_.DefineEvent(static_cast<uint32_t>(toks[0].num), name);
    } else if (word == ".block") {
      if (toks.size() != 2 || toks[0].type != Tok::kWord || toks[1].type != Tok::kInt) {
        Error(".block name value");
        return;
      }
      std::string name;
      if (!ToCp932(toks[0].text, name)) return;
      b_.AddBlockLabel(name, static_cast<uint32_t>(toks[1].num));
    } else {
      Error("unknown directive " + plat::Utf8ToCp932(word));
    }
  }

 private:
  ScriptBuilder& b_;
};

// Drops a ';' comment that stands outside quotes, and trailing blanks.
std::string_view StripComment(std::string_view line) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted && c == '\\') {
      ++i;
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) {
      line = line.substr(0, i);
      break;
    }
  }
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

}  // namespace

bool AssembleScript(std::string_view source, const std::string& sourceName, CompiledScriptSet& out,
                    std::vector<std::string>& errors) {
  ScriptBuilder b;
  b.SetSource(sourceName);
  Assembler a(b);
  uint32_t lineNo = 0;
  // An open message: its kind, speaker and lines.
  bool inMessage = false, add = false;
  std::string speaker;
  std::vector<std::string> lines;
  uint32_t messageLine = 0;
  size_t pos = 0;
  if (source.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;  // UTF-8 byte order mark
  while (pos <= source.size()) {
    size_t nl = source.find('\n', pos);
    std::string_view raw = source.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? source.size() + 1 : nl + 1;
    ++lineNo;
    b.SetLine(lineNo);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (inMessage) {
      std::string_view t = raw;
      while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
      while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
      if (t == "<<" || t == "<<-") {
        b.SetLine(messageLine);
        b.Message(speaker, lines, t == "<<", add);
        inMessage = false;
        continue;
      }
      std::string text;
      if (a.ToCp932(t, text)) lines.push_back(text);
      continue;
    }
    std::string_view line = StripComment(raw);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty()) continue;
    if (line.substr(0, 2) == ">>") {
      add = line.size() > 2 && line[2] == '+';
      std::string_view sp = line.substr(add ? 3 : 2);
      while (!sp.empty() && (sp.front() == ' ' || sp.front() == '\t')) sp.remove_prefix(1);
      speaker.clear();
      a.ToCp932(sp, speaker);
      lines.clear();
      inMessage = true;
      messageLine = lineNo;
    } else if (line[0] == '#') {
      a.Command(line);
    } else if (line[0] == '$') {
      a.SwitchDecl(line);
    } else if (line[0] == '*') {
      a.LabelDecl(line);
    } else if (line[0] == '.') {
      a.Directive(line);
    } else {
      a.Error("a line begins with #, $, *, ., >> or a comment");
    }
  }
  if (inMessage) {
    b.SetLine(messageLine);
    b.AddError("message without its closing << line");
  }
  bool ok = b.Errors().empty() && b.Finish(out);
  errors = b.Errors();
  return ok && errors.empty();
}

}  // namespace v4fmt
