#include "uKaVruneQuestions.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "uKaVruneModel.h"
#include "uKaVruneUnitWords.h"

namespace {

constexpr size_t TokenSize = 3;  // "{v}", "{n}"

bool IsToken(const std::string& form, size_t at, char which) {
  return form.compare(at, TokenSize, std::string{'{', which, '}'}) == 0;
}
bool Digit(char c) { return c >= '0' && c <= '9'; }
bool LineEnd(char c) { return c == '\r' || c == '\n'; }

bool Fits(const std::string& line, size_t li, const std::string& form, size_t fi) {
  if (fi == form.size()) return li == line.size();
  if (IsToken(form, fi, 'v')) {
    for (size_t end = li;; ++end) {
      if (Fits(line, end, form, fi + TokenSize)) return true;
      if (end == line.size() || LineEnd(line[end])) return false;
    }
  }
  if (IsToken(form, fi, 'n')) {
    size_t end = li;
    while (end < line.size() && Digit(line[end])) ++end;
    for (; end > li; --end)
      if (Fits(line, end, form, fi + TokenSize)) return true;
    return false;
  }
  return li < line.size() && line[li] == form[fi] && Fits(line, li + 1, form, fi + 1);
}

// The text of the form from at up to its next value, or its end.
std::string LiteralAt(const std::string& form, size_t at) {
  const size_t next = form.find('{', at);
  return form.substr(at, next == std::string::npos ? std::string::npos : next - at);
}

}  // namespace

bool FitsQuestionForm(const std::string& line, const std::string& form) { return Fits(line, 0, form, 0); }

bool BeginsQuestionForm(const std::string& line, const std::string& form) {
  size_t li = 0, fi = 0;
  while (li < line.size()) {
    if (fi == form.size()) return false;  // the line goes on past the form
    if (IsToken(form, fi, 'v')) {
      // The value ends where what follows it begins, or where the line's rest could begin it.
      const std::string after = LiteralAt(form, fi + TokenSize);
      if (after.empty()) return !std::any_of(line.begin() + static_cast<std::ptrdiff_t>(li), line.end(), LineEnd);
      size_t end = li;
      for (; end < line.size() && !LineEnd(line[end]); ++end) {
        const size_t n = std::min(after.size(), line.size() - end);
        if (line.compare(end, n, after, 0, n) == 0) break;
      }
      if (end < line.size() && LineEnd(line[end])) return false;
      li = end;
      fi += TokenSize;
      continue;
    }
    if (IsToken(form, fi, 'n')) {
      if (!Digit(line[li])) return false;
      while (li < line.size() && Digit(line[li])) ++li;
      fi += TokenSize;
      continue;
    }
    if (line[li] != form[fi]) return false;
    ++li;
    ++fi;
  }
  return fi < form.size();
}

TQuestionFit FitOfQuestion(const std::string& text, const std::vector<std::string>& forms) {
  const std::string line = LastLine(text);
  if (line.empty()) return TQuestionFit::Unknown;
  bool whole = false;
  for (const std::string& form : forms) {
    // A longer form that begins with this line (a netmask's ") " before its "? ", a question
    // that a value and a second "? " follow) is not over yet, however whole a shorter one is.
    if (BeginsQuestionForm(line, form)) return TQuestionFit::Part;
    whole = whole || FitsQuestionForm(line, form);
  }
  return whole ? TQuestionFit::Whole : TQuestionFit::Unknown;
}

namespace {

// The root menu's prompt, which ends every menu.
const std::string RootPromptForm = std::string(MenuPrompt) + " ";

void AddForms(std::vector<std::string>& to, const std::vector<std::string>& forms) {
  for (const std::string& f : forms)
    if (std::find(to.begin(), to.end(), f) == to.end()) to.push_back(f);
}

}  // namespace

const std::vector<std::string>& MenuQuestions(const std::string& section) {
  static std::mutex lock;
  static std::map<std::string, std::vector<std::string>> menus;
  std::lock_guard guard(lock);
  auto [it, added] = menus.try_emplace(section);
  if (added) {
    for (const TSettingRow& row : SettingRows())
      if (row.Section == section) AddForms(it->second, row.Asks);
    AddForms(it->second, {RootPromptForm});
  }
  return it->second;
}

const std::vector<std::string>& AnyQuestions() {
  static const std::vector<std::string> forms = [] {
    std::vector<std::string> all;
    for (const TSettingRow& row : SettingRows()) AddForms(all, row.Asks);
    AddForms(all, {RootPromptForm});
    return all;
  }();
  return forms;
}
