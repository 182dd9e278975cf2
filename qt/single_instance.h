#pragma once

// One copy of the program at a time: a later start hands the files it was given to the copy
// already running and ends, so that only one player tells the channel.

#include <QStringList>

#include <functional>
#include <memory>

// The running copy's hold on its place; later starts reach it for as long as it lives.
class FirstCopy {
public:
    virtual ~FirstCopy() = default;
    // Where the files of later starts go from now on; any that came before go there at once.
    virtual void onOpen(std::function<void(const QStringList& files)> open) = 0;
    // What a client that asks reads as the line of what plays now.
    virtual void onLine(std::function<QString()> line) = 0;
};

struct Claim {
    std::unique_ptr<FirstCopy> first; // set: this start goes on as a player, with its files
    bool handed = false;              // else: whether its files reached the first copy
    // Set when this start goes on beside a first copy that did not answer: why, for the user.
    QString alone = {};
};

// Takes the first copy's place, or hands files (absolute paths) to the copy that holds it.
// Where no other copy can be reached at all (no session bus), every start is a first; where
// the first copy does not answer within a moment (stopped, or hung), this start goes on beside
// it rather than lose its files.
Claim claimFirstCopy(const QStringList& files);

// The files a start names: paths, absolute or against currentFolder, and file:// addresses
// (as the desktop passes them), as absolute paths; other addresses as they are.
QStringList filesNamed(const QStringList& arguments, const QString& currentFolder);
