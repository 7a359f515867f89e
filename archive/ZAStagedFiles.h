// The files of a staged extraction (TZABaseArchiver::StageExtraction): each entry's checked file
// kept, synced and named, beside its target, until all of them are put in place at once or dropped.
// A pack of files then replaces its targets all or none: a failed entry, a full disk or a cancel
// before the commit leaves every target as it was.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TZAScratchFile;
class TZATargetFolder;

class TZAStagedFiles {
public:
    TZAStagedFiles();
    ~TZAStagedFiles();  // deletes the files not put in place
    TZAStagedFiles(const TZAStagedFiles&) = delete;
    TZAStagedFiles& operator=(const TZAStagedFiles&) = delete;

    // The one folder object of the stage for the folder that folder opens (by device and inode),
    // so that staged files hold a descriptor per folder, not per entry; key names the folder.
    std::shared_ptr<const TZATargetFolder> Hold(std::shared_ptr<const TZATargetFolder> folder, std::string& key);
    // The name on disk of the cp1251 name in the folder of key: that of a file staged for the same
    // name (without regard to case) when there is one, which counts as existing since it will be
    // there, else the folder's.
    std::string NameOnDisk(const TZATargetFolder& folder, const std::string& key, std::string_view name,
                           bool& exists) const;
    // Keeps the complete file to take the place of onDisk (the name on disk of the cp1251 name)
    // in the folder of key; target names it in messages. False with errno set when the file cannot be kept
    // (synced, named, closed), or when onDisk is a folder that it could never replace.
    bool Add(const std::string& key, std::string_view name, std::unique_ptr<TZAScratchFile> file,
             const std::string& onDisk, const std::string& target);
    // Puts the files in place in the order they were staged. False with errno set, and failed
    // naming the target, at the first that cannot be; it and those after it stay staged.
    bool Commit(std::string& failed);

private:
    struct TStaged {
        std::unique_ptr<TZAScratchFile> file;  // null once put in place or dropped
        std::string onDisk;
        std::string target;
    };

    std::map<std::string, std::shared_ptr<const TZATargetFolder>> folders_;  // by device and inode
    std::vector<TStaged> files_;
    std::map<std::string, size_t> byName_;  // folder key + upper-case name -> index in files_
    size_t committed_ = 0;
};
