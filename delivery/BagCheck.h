#pragma once

// The check of a BagIt bag (RFC 8493) from its own files, as a receiver would make it, for bags this tool
// wrote or any other: every byte read is untrusted, a malformed line is a named failure, and no manifest
// path may leave the bag.
//
// Failures, by their stable names:
//   bagit-txt: bagit.txt missing, or not the two lines of version 1.0 (or 0.97) with UTF-8
//   manifest-missing: no payload manifest of an algorithm this check knows (sha256, sha512, sha1, md5)
//   manifest-line: a manifest line without digest and path, a path outside the bag or outside data/ (for
//     a payload manifest), or one given twice
//   file-missing: a file a manifest lists is not there (or cannot be read)
//   digest-mismatch: a listed file's digest differs from the manifest's
//   payload-unlisted: a file under data/ that a payload manifest does not list
//   payload-oxum: bag-info.txt's Payload-Oxum is malformed or disagrees with data/
//   bag-info: bag-info.txt is not a list of "Label: value" lines
//
// Threads: any; no shared state.

#include <QString>
#include <vector>

struct BagProblem {
    QString check;  // stable name, as above
    QString detail; // for the user: the file and what is wrong
};

// Every problem of the bag at `bag` (a folder); none: the bag is valid.
std::vector<BagProblem> validateBag(const QString &bag);
