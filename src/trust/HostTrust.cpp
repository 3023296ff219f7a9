#include "trust/HostTrust.h"

namespace velmar::trust {

Action ActionFor(KeyState state) {
    switch (state) {
    case KeyState::Known:
        return Action::Accept;
    case KeyState::Unknown:
        return Action::Ask;
    case KeyState::Changed:
    case KeyState::OtherType:
    case KeyState::Error:
        break;
    }
    return Action::Refuse;
}

namespace {
QString HostAndPort(const KeyQuestion& q) {
    return q.port == 22 || q.port == 0 ? q.host : QStringLiteral("[%1]:%2").arg(q.host).arg(q.port);
}
} // namespace

QString UnknownKeyQuestion(const KeyQuestion& q) {
    return QStringLiteral("The authenticity of host %1 can't be established.\n"
                          "Its %2 key fingerprint is\n%3\n\n"
                          "Trust this key and add it to %4?")
        .arg(HostAndPort(q), q.keyType, q.fingerprint, q.store);
}

QString RefusalText(KeyState state, const KeyQuestion& q) {
    switch (state) {
    case KeyState::Changed:
    case KeyState::OtherType:
        return QStringLiteral("The host key of %1 has changed: not connected.\n"
                              "Someone may be listening in (a man-in-the-middle attack), or the "
                              "host was reinstalled. It now shows the %2 key\n%3\n"
                              "If the change is expected, remove the old key from %4.")
            .arg(HostAndPort(q), q.keyType, q.fingerprint, q.store);
    case KeyState::Error:
        return QStringLiteral("The host key of %1 could not be checked against %2: not connected.")
            .arg(HostAndPort(q), q.store);
    case KeyState::Unknown:
        return QStringLiteral("The host key of %1 was not trusted: not connected.")
            .arg(HostAndPort(q));
    case KeyState::Known:
        break;
    }
    return {};
}

Verdict Decide(KeyState state, const KeyQuestion& q, const Asker& asker) {
    switch (ActionFor(state)) {
    case Action::Accept:
        return {.accepted = true, .store = false, .refusal = {}};
    case Action::Ask:
        if (asker && asker(q)) return {.accepted = true, .store = true, .refusal = {}};
        return {.refusal = RefusalText(KeyState::Unknown, q)};
    case Action::Refuse:
        break;
    }
    return {.refusal = RefusalText(state, q)};
}

} // namespace velmar::trust
