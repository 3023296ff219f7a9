#pragma once
// Trust in a peer's key, as users of OpenSSH expect: a key the store knows is accepted, an
// unknown one is shown to the user with its fingerprint and stored only on Yes, a changed
// one is refused with a message that says so. Nothing is ever accepted silently: without an
// answerer every question is answered No.

#include <QString>
#include <functional>

namespace velmar::trust {

// What the store says about the key a peer showed.
enum class KeyState {
    Known,     // stored for this host and matches
    Unknown,   // nothing stored for this host (or no store yet)
    Changed,   // another key of the same type is stored: possibly an attack
    OtherType, // only keys of another type are stored: treated as changed
    Error,     // the store could not be read, or the key not taken
};

enum class Action { Accept, Ask, Refuse };

Action ActionFor(KeyState state);

struct KeyQuestion {
    QString host;
    quint16 port = 0;
    QString keyType;     // "ssh-ed25519"
    QString fingerprint; // "SHA256:..."
    QString store;       // the file an accepted key goes to
};

// The texts shown: the question for an unknown key, and the refusals.
QString UnknownKeyQuestion(const KeyQuestion& q);
QString RefusalText(KeyState state, const KeyQuestion& q);

// Answers "trust this unknown key?" (true for Yes). The window layer installs one.
using Asker = std::function<bool(const KeyQuestion&)>;

struct Verdict {
    bool accepted = false;
    bool store = false; // a new key the user accepted: add it to the store
    QString refusal;    // why not, for the user
};

// The decision for a key in `state`; asks through `asker` for an unknown key.
Verdict Decide(KeyState state, const KeyQuestion& q, const Asker& asker);

} // namespace velmar::trust
