#include "jpeg2000/messages.h"

#include <algorithm>

namespace j2k {

namespace {

thread_local message_sink* current_sink = nullptr;
thread_local int current_width = 80;

} // namespace

message_scope::message_scope(message_sink* sink, int line_width)
    : saved_sink_(current_sink), saved_width_(current_width) {
    current_sink = sink;
    current_width = std::min(line_width, 80);
}

void worker_sink::warning(std::string_view text) {
    std::lock_guard<std::mutex> hold(lock_);
    if (to_) to_->warning(text);
}

void deliver_error_lines(const std::vector<std::string>& lines) {
    if (message_sink* to = message_scope::bound())
        for (const std::string& line : lines)
            to->error_line(line);
}

message_sink* message_scope::bound() {
    return current_sink;
}

message_scope::~message_scope() {
    current_sink = saved_sink_;
    current_width = saved_width_;
}

wrapped_text::wrapped_text(int width) : width_(std::min(width, 80)) {
    start_line(lead_indent);
}

void wrapped_text::start_line(int indent) {
    line_.assign(static_cast<size_t>(indent), ' ');
    at_line_start_ = true;
}

void wrapped_text::emit(std::string_view chars) {
    done_.append(chars);
    done_.push_back('\n');
}

void wrapped_text::put(char c) {
    if (c == '\t') {
        if (at_line_start_) {
            int n = std::min(4, max_indent - lead_indent - tab_indent_);
            if (n > 0) {
                line_.append(static_cast<size_t>(n), ' ');
                tab_indent_ += n;
            }
            return;
        }
        c = ' ';
    }
    if (c == '\n') {
        emit(line_);
        tab_indent_ = 0;
        start_line(lead_indent);
        return;
    }
    line_.push_back(c);
    at_line_start_ = false;
    if (static_cast<int>(line_.size()) <= width_) return;
    // Break the line at the last blank after the indentation, or hard at the
    // width when a word fills the whole line.
    size_t first = line_.find_first_not_of(' ');
    if (first == std::string::npos) return; // blanks only: nothing to break
    size_t cut = line_.size();
    while (cut > first && line_[cut - 1] != ' ')
        --cut;
    size_t rest;
    if (cut <= first) {
        cut = static_cast<size_t>(width_);
        rest = cut;
    } else {
        rest = cut;
        while (cut > first && line_[cut - 1] == ' ')
            --cut;
    }
    emit(std::string_view(line_).substr(0, cut));
    std::string tail = line_.substr(rest);
    start_line(lead_indent + tab_indent_);
    line_ += tail;
    at_line_start_ = tail.empty();
}

void wrapped_text::sync() {
    if (!at_line_start_) {
        emit(line_);
        start_line(lead_indent + tab_indent_);
    }
    at_line_start_ = true;
}

std::string wrapped_text::take_lines(bool with_newlines) {
    std::string out;
    out.swap(done_);
    if (!with_newlines && !out.empty()) out.pop_back();
    return out;
}

error_report::error_report() : text_(current_width) {}

void error_report::add(std::string_view text) {
    plain_.append(text);
    text_.put(text);
    // Lines reach the sink as soon as they are complete, as they always have.
    if (current_sink && text_.has_lines()) {
        std::string lines = text_.take_lines(false);
        size_t start = 0;
        while (true) {
            size_t end = lines.find('\n', start);
            current_sink->error_line(std::string_view(lines).substr(start, end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    } else if (!current_sink) {
        text_.take_lines(false);
    }
}

void error_report::raise() {
    text_.sync();
    add("");
    throw failure(plain_);
}

void error_report::refuse() {
    text_.sync();
    add("");
    throw refusal(plain_);
}

warning_report::warning_report() : text_(current_width) {}

warning_report::~warning_report() {
    text_.sync();
    std::string text = text_.take_lines(true);
    // A warning with nothing but blanks and newlines is no message.
    if (current_sink && text.find_first_not_of(" \n") != std::string::npos)
        current_sink->warning(text);
}

void fail(std::string_view text) {
    error_report r;
    r << text;
    r.raise();
}

void refuse(std::string_view text) {
    error_report r;
    r << text;
    r.refuse();
}

void warn(std::string_view text) {
    warning_report r;
    r << text;
}

} // namespace j2k
