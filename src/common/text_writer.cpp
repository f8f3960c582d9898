#include "common/text_writer.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "common/run_error.h"

namespace {

bool holds_high_byte(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 128) return true;
  return false;
}

std::string translated(std::string_view text, const std::array<std::string, 128>& high_bytes) {
  std::string out;
  out.reserve(text.size() + 16);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 128) {
      out.push_back(c);
    } else {
      out += high_bytes[byte - 128];
    }
  }
  return out;
}

}  // namespace

TextWriter::TextWriter(std::FILE* stream, std::string name, std::string role)
    : TextWriter(stream, std::move(name), std::move(role), false) {}

TextWriter::TextWriter(std::FILE* stream, std::string name, std::string role, bool owned)
    : stream_(stream), name_(std::move(name)), role_(std::move(role)), owned_(owned) {}

TextWriter TextWriter::open(const std::string& path, const char* mode, const char* action, const std::string& role) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), mode);
  if (f == nullptr) throw_file_error(errno, action, role, path);
  return TextWriter(f, path, role, true);
}

TextWriter TextWriter::create(const std::string& path, const std::string& role) {
  TextWriter out = open(path, "wb", "create", role);
  static constexpr std::size_t kBuffer = 1 << 16;
  std::setvbuf(out.stream_, nullptr, _IOFBF, kBuffer);
  return out;
}

TextWriter TextWriter::append(const std::string& path, const std::string& role) {
  return open(path, "ab", "open", role);
}

TextWriter TextWriter::into(std::string& text, std::string name, std::string role) {
  TextWriter out(nullptr, std::move(name), std::move(role), false);
  out.memory_ = &text;
  out.in_memory_ = true;
  return out;
}

TextWriter TextWriter::discarding(std::string name, std::string role) {
  TextWriter out(nullptr, std::move(name), std::move(role), false);
  out.in_memory_ = true;
  return out;
}

TextWriter::TextWriter(TextWriter&& other) noexcept
    : stream_(other.stream_),
      memory_(other.memory_),
      in_memory_(other.in_memory_),
      name_(std::move(other.name_)),
      role_(std::move(other.role_)),
      owned_(other.owned_),
      remember_failures_(other.remember_failures_),
      failure_(other.failure_),
      column_(other.column_),
      last_(other.last_),
      high_bytes_(other.high_bytes_) {
  other.stream_ = nullptr;
  other.owned_ = false;
}

TextWriter::~TextWriter() {
  // An error path leaves the file as written so far; close quietly.
  if (owned_ && stream_ != nullptr) std::fclose(stream_);
}

void TextWriter::fail(const char* action) {
  if (!remember_failures_) throw_file_error(errno, action, role_, name_);
  if (failure_ == 0) failure_ = errno != 0 ? errno : EIO;
}

// False after a failed write (which throws unless failures are remembered).
bool TextWriter::put(std::string_view bytes) {
  if (in_memory_) {
    if (memory_ != nullptr) memory_->append(bytes);
    return true;
  }
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size()) return true;
  fail("write");
  return false;
}

void TextWriter::write(std::string_view text) {
  if (text.empty() || failure_ != 0) return;
  const bool sent = high_bytes_ != nullptr && holds_high_byte(text) ? put(translated(text, *high_bytes_))
                                                                     : put(text);
  if (!sent) return;
  last_ = text.back();
  const void* last = memrchr(text.data(), '\n', text.size());
  if (last == nullptr) {
    column_ += static_cast<std::int64_t>(text.size());
  } else {
    column_ = static_cast<std::int64_t>(text.data() + text.size() - static_cast<const char*>(last) - 1);
  }
}

void TextWriter::write_right(std::string_view text, int width) {
  if (width > 0 && static_cast<std::size_t>(width) > text.size())
    write_blanks(width - static_cast<int>(text.size()));
  write(text);
}

void TextWriter::write_blanks(int count) {
  static constexpr char kBlanks[] = "                                                                ";
  constexpr int kChunk = sizeof(kBlanks) - 1;
  while (count > 0) {
    const int n = count < kChunk ? count : kChunk;
    write(std::string_view(kBlanks, static_cast<std::size_t>(n)));
    count -= n;
  }
}

void TextWriter::line_end() { write("\r\n"); }

void TextWriter::flush() {
  if (failure_ != 0 || in_memory_) return;
  errno = 0;
  if (std::fflush(stream_) != 0) fail("write");
}

void TextWriter::close() {
  // The buffer's last bytes go out first, so that a full disk is reported
  // as the failed write it is.
  flush();
  if (!owned_ || stream_ == nullptr) return;
  std::FILE* f = stream_;
  stream_ = nullptr;
  owned_ = false;
  errno = 0;
  if (std::fclose(f) != 0) throw_file_error(errno, "close", role_, name_);
}
