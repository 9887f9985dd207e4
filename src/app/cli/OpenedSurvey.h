#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace fluvex {

class Geodesy;

// The files a command was given, opened into the line collection as the desktop program opens
// them (line logs, archives, instrument files; line 0 current). The collection is emptied again
// when this goes, as its readers refer to the geodesy held here.
class OpenedSurvey {
public:
    OpenedSurvey(const std::vector<std::string>& files, std::ostream& err);
    ~OpenedSurvey();
    OpenedSurvey(const OpenedSurvey&) = delete;
    OpenedSurvey& operator=(const OpenedSurvey&) = delete;

    // Failure when any file added no line.
    int Status() const;

private:
    std::unique_ptr<Geodesy> geodesy_;
    int failedFiles_ = 0;
};

// Shows how far a batch of lines has come ("exporting 3/50") on stderr, rewriting one line;
// silent when stderr is not a terminal, so logs and pipes get only the messages.
class BatchProgress {
public:
    BatchProgress(std::ostream& err, std::string what);
    ~BatchProgress();
    BatchProgress(const BatchProgress&) = delete;
    BatchProgress& operator=(const BatchProgress&) = delete;

    void Show(int done, int total);

private:
    std::ostream& err_;
    std::string what_;
    bool enabled_;
    bool shown_ = false;
};

}  // namespace fluvex
