#pragma once

#include <mutex>
#include <ostream>
#include <sstream>
#include <string>

// A stream that writes each line it is given to another stream with a prefix in front ("PATH: "),
// a whole line at a time, so that the lines of books' threads writing at once do not interleave.
class TLinePrefixStream : public std::ostream {
public:
    TLinePrefixStream(std::ostream& target, std::string prefix);
    ~TLinePrefixStream() override;

private:
    class Buffer : public std::stringbuf {
    public:
        Buffer(std::ostream& target, std::string prefix);
        int sync() override;

    private:
        std::ostream& target_;
        const std::string prefix_;
    };
    Buffer buffer_;
};
