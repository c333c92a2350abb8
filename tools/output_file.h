#pragma once

// Every file the tools write goes through here: never onto the input, and through a temporary
// file beside the target that is renamed only when complete, so a failure leaves no half file.

#include <string>
#include <string_view>

namespace swf {

class PendingOutput {
public:
    // Throws Error when target is the input file (under any name) or cannot be written beside.
    PendingOutput(const std::string& target, const std::string& input);
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // The temporary file, for a helper program to write into.
    const std::string& temporaryPath() const { return temporary_; }
    void write(std::string_view bytes);
    // Renames the temporary file to the target; throws Error when the result would be empty.
    void commit();

private:
    std::string target_;
    std::string input_;
    std::string temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

// Writes bytes to target through a PendingOutput.
void writeOutput(const std::string& target, const std::string& input, std::string_view bytes);

}  // namespace swf
