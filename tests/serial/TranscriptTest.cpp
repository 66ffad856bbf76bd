#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "uTranscript.h"

namespace {

// A transcript in a file of its own; Lines() closes it and gives its lines without the stamps.
class TranscriptFile {
 public:
  TranscriptFile() {
    char tmpl[] = "/tmp/kavrune-transcript-XXXXXX";
    dir_ = mkdtemp(tmpl);
    t.emplace(dir_ + "/log");
  }
  ~TranscriptFile() { std::filesystem::remove_all(dir_); }

  // Bytes as a paced line delivers them: one at a time.
  void Trickle(bool sent, const std::string& bytes) {
    for (char c : bytes) t->Record(sent, std::string(1, c));
  }
  std::vector<std::string> Lines() {
    t.reset();
    std::ifstream in(dir_ + "/log", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find_first_not_of(" .0123456789")));
    return lines;
  }
  std::string Text() {
    std::string all;
    for (const auto& l : Lines()) all += l + "\n";
    return all;
  }

  std::optional<TTranscript> t;

 private:
  std::string dir_;
};

}  // namespace

TEST(Transcript, shouldMaskTheValuesOfSecretLinesOnly) {
  EXPECT_EQ(TTranscript::MaskLine("Password : hunter2"), "Password : ********");
  EXPECT_EQ(TTranscript::MaskLine("Password : "), "Password : ");
  EXPECT_EQ(TTranscript::MaskLine("Password (hunter2) ? hunter2"), "Password (********) ? ********");
  EXPECT_EQ(TTranscript::MaskLine("Current key: 0A1B2C"), "Current key: ********");
  EXPECT_EQ(TTranscript::MaskLine("Enhanced Password is off"), "Enhanced Password is off");
  EXPECT_EQ(TTranscript::MaskLine("Key type: Passphrase"), "Key type: Passphrase");
  EXPECT_EQ(TTranscript::MaskLine("Terminal name : t1"), "Terminal name : t1");
  EXPECT_TRUE(TTranscript::AsksForSecret("Enter new Password ? "));
  EXPECT_TRUE(TTranscript::AsksForSecret("Enter Key ? "));
  EXPECT_FALSE(TTranscript::AsksForSecret("Change telnet config password (N) ? "));
  EXPECT_FALSE(TTranscript::AsksForSecret("Key type 0=hex, 1=passphrase (1) ? "));
  EXPECT_EQ(TTranscript::Readable("a\r\n\x07\x01\xFE"), "a<CR><LF><BEL><01><FE>");
}

TEST(Transcript, shouldWriteOneLinePerDeviceLineAndPerAnswerWhateverThePieces) {
  TranscriptFile f;
  f.Trickle(false, "\r\n*** Channel 1\r\nPassword : Zebra42secret\r\nYour choice ? ");
  f.t->Record(true, "1\r");
  f.Trickle(false, "1\r\n\r\nPassword (Zebra42secret) ? ");
  f.t->Record(true, "Zebra42secret\r");
  // The echo and the next question in one piece, as the device sends them.
  f.t->Record(false, "Zebra42secret\r\n FlushMode (00) ?");
  f.t->Record(true, "\r");
  f.t->Record(false, "\r\nEnter Key ? ");
  f.Trickle(true, "0A1B2C3D4E");  // typed one by one, each echoed
  f.Trickle(false, "**********");
  f.Trickle(false, "\r\nDisplay current key (N) ? ");
  f.t->Record(true, "N");
  f.t->Event("store");
  const std::vector<std::string> expected = {
      "<< *** Channel 1", "<< Password : ********", "<< Your choice ? ", ">> 1<CR>", "<< 1",
      "<< Password (********) ? ", ">> ********<CR>", "<< ********", "<<  FlushMode (00) ?", ">> <CR>",
      "<< Enter Key ? ********", ">> ********", "<< Display current key (N) ? ", ">> N", "-- store"};
  const auto lines = f.Lines();
  EXPECT_EQ(lines, expected);
}

TEST(Transcript, shouldMaskASecretWhereverItRecurs) {
  TranscriptFile f;
  f.t->Record(false, "Password : Zebra42secret\r\n");
  f.t->Record(false, "Terminal name : Zebra42secret-host\r\n");
  f.t->Record(true, "Zebra42secret\r");
  const std::string text = f.Text();
  EXPECT_EQ(text.find("Zebra42"), std::string::npos) << text;
}
