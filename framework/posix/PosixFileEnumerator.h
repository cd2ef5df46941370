#pragma once

#include <dirent.h>

#include "framework/FileEnumerator.h"

class PosixFileEnumerator : public FileEnumerator {
public:
    PosixFileEnumerator(const std::string& pattern, int mode);
    ~PosixFileEnumerator() override;
    PosixFileEnumerator(const PosixFileEnumerator&) = delete;
    PosixFileEnumerator& operator=(const PosixFileEnumerator&) = delete;

    bool next() override;
    const std::string& name() const override { return name_; }

private:
    bool isDirectory(const dirent& entry) const;
    void finish();

    std::string name_;
    std::string folder_;
    std::string wildcard_;
    int mode_;
    DIR* dir_ = nullptr;
    bool started_ = false;
};
