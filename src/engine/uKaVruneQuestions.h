#pragma once
// Whether the unit has printed a whole question. A question is known by its form: its text as the
// unit prints it, "{v}" standing for the value it shows there (any text on the line) and "{n}"
// for a number (one or more digits): "Baudrate ({v}) ? ", ".({n}) ". A key is typed only after
// a whole known form; a pause of the line says nothing about where a question ends.

#include <string>
#include <vector>

enum class TQuestionFit {
  Unknown,  // no form of the menu fits, nor begins with it: another firmware's question, or none
  Part,     // the beginning of a known question: the unit has more of it to print
  Whole,    // a whole known question, and no longer one begins with it
};

// The line fits the form, value and all.
bool FitsQuestionForm(const std::string& line, const std::string& form);
// The line is a proper beginning of the form: read as the form goes, a value ending where the
// text after it in the form begins, the line runs out before the form does.
bool BeginsQuestionForm(const std::string& line, const std::string& form);
// How the last line of text stands against the forms.
TQuestionFit FitOfQuestion(const std::string& text, const std::vector<std::string>& forms);

// The questions of the menu of a section ("basic_parameters", "Channel_1" ...), the parts that
// follow an answer included, with the root menu's prompt that ends it.
const std::vector<std::string>& MenuQuestions(const std::string& section);
// Every menu's, with the root menu's prompt: for a unit met somewhere in its menus.
const std::vector<std::string>& AnyQuestions();
