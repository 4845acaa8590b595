// Messages of the JPEG 2000 engine. Every text the engine reports goes to a
// message_sink that belongs to one operation: the glue (or a tool, or a test)
// binds its sink to the calling thread for the duration of the work with a
// message_scope, so two loads on two threads never share a route, and nothing
// here touches the standard streams or any process-wide setting.
//
// Texts are formatted as the engine has always shown them: lines of at most 80
// columns, each starting with a one-blank indent, a tab at the start of a line
// indenting that paragraph by 4 more blanks. An error delivers each finished
// line on its own (without the newline) and then throws j2k::failure, which
// only the glue catches; a warning delivers its lines, newlines included, as
// one text and returns.
#pragma once

#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace j2k {

class message_sink {
public:
    virtual ~message_sink() = default;
    // One formatted line of an error, lead indent included, no newline.
    virtual void error_line(std::string_view line) = 0;
    // A whole warning: its formatted lines, each ended by a newline.
    virtual void warning(std::string_view text) = 0;
};

// Thrown at the end of every error report; the text has already been sent to
// the sink. what() holds the unformatted text, for the glue and for tests.
class failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure of the whole code-stream rather than of one tile (its structures
// would cost more than the operation allows, or it holds no data at all):
// nothing of the image is worth decoding.
class refusal : public failure {
public:
    using failure::failure;
};

// Binds a sink (and a line width, at most 80) to the calling thread until the
// scope ends; scopes nest. Without a bound sink, texts are dropped but errors
// still throw.
class message_scope {
public:
    explicit message_scope(message_sink* sink, int line_width = 80);
    ~message_scope();
    // The sink bound to the calling thread: an operation takes it once, at
    // its start, for the work it hands to other threads.
    static message_sink* bound();
    message_scope(const message_scope&) = delete;
    message_scope& operator=(const message_scope&) = delete;

private:
    message_sink* saved_sink_;
    int saved_width_;
};

// The route of one job an operation runs on another thread: its warnings
// pass to the operation's sink at once (one thread at a time, under `lock`),
// its error's lines are kept for the thread that waits for the job, which
// delivers only the error one thread would have met.
class worker_sink final : public message_sink {
public:
    worker_sink(message_sink* to, std::mutex& lock) : to_(to), lock_(lock) {}
    void error_line(std::string_view line) override { lines.emplace_back(line); }
    void warning(std::string_view text) override;
    std::vector<std::string> lines;

private:
    message_sink* to_;
    std::mutex& lock_;
};

// Error lines kept from a job, to the calling thread's route.
void deliver_error_lines(const std::vector<std::string>& lines);

// Word-wrapping formatter: feed characters, collect finished lines.
class wrapped_text {
public:
    explicit wrapped_text(int width);
    void put(char c);
    void put(std::string_view text) {
        for (char c : text)
            put(c);
    }
    // Ends the current line when it holds more than indentation.
    void sync();
    // The finished lines since the last take, each without its newline.
    std::string take_lines(bool with_newlines);
    bool has_lines() const { return !done_.empty(); }

private:
    void start_line(int indent);
    void emit(std::string_view chars);

    static constexpr int max_indent = 40;
    static constexpr int lead_indent = 1;
    std::string line_;
    int width_;
    int tab_indent_ = 0;
    bool at_line_start_ = true;
    std::string done_; // finished lines separated by '\n'
};

// Streams text into an error: end it with raise(), which delivers the last
// line and throws j2k::failure.
class error_report {
public:
    error_report();
    template <typename T>
    error_report& operator<<(const T& v) {
        std::ostringstream s;
        s << v;
        add(s.str());
        return *this;
    }
    [[noreturn]] void raise();
    // The same, throwing j2k::refusal.
    [[noreturn]] void refuse();

private:
    void add(std::string_view text);
    wrapped_text text_;
    std::string plain_;
};

// Streams text into a warning, delivered when the report goes out of scope.
class warning_report {
public:
    warning_report();
    ~warning_report();
    template <typename T>
    warning_report& operator<<(const T& v) {
        std::ostringstream s;
        s << v;
        text_.put(s.str());
        return *this;
    }

private:
    wrapped_text text_;
};

// One-line forms of the two reports.
[[noreturn]] void fail(std::string_view text);
[[noreturn]] void refuse(std::string_view text);
void warn(std::string_view text);

} // namespace j2k
