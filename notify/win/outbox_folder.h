// The outbox's files: the folder "Outbox" beside the executable, one file per
// mail, each written whole under another name and then renamed, so that a
// power cut leaves the whole file or none.
#pragma once

#include <string>

#include "notify/core/outbox.h"

namespace mrwd {

class WindowsOutboxFolder final : public OutboxFolder {
public:
    // `folder` without its final "\"; created at the first write. Halves of
    // files a power cut left are removed here.
    explicit WindowsOutboxFolder(std::string folder);

    std::vector<std::string> Names() override;
    bool Read(const std::string& name, std::string& bytes) override;
    bool Write(const std::string& name, const std::string& bytes) override;
    void Remove(const std::string& name) override;

private:
    std::vector<std::string> Matching(const char* pattern) const;

    std::string folder_;
};

// "Outbox" beside the running executable.
std::string OutboxFolderBesideExecutable();

}  // namespace mrwd
