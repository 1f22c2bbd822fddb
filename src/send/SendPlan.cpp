#include "send/SendPlan.h"

#include "send/KeyTokens.h"

namespace zendrel {

namespace {

qsizetype findOwn(const ExpandedText& t, QChar c, qsizetype from = 0, qsizetype limit = -1) {
    const qsizetype end = limit < 0 ? t.text.size() : std::min(t.text.size(), limit);
    for (qsizetype i = from; i < end; ++i) {
        if (t.text.at(i) == c && !t.isLiteral(i)) {
            return i;
        }
    }
    return -1;
}

bool ownText(const ExpandedText& t) {
    for (qsizetype i = 0; i < t.text.size(); ++i) {
        if (t.isLiteral(i)) {
            return false;
        }
    }
    return true;
}

SendStep characters(const QString& text) {
    return {SendStep::Kind::Characters, text, 0, 0, false};
}

SendStep key(int code) {
    return {SendStep::Kind::Key, {}, code, 0, true};
}

SendStep wait(int64_t hundredths, bool guarded) {
    return {SendStep::Kind::Wait, {}, 0, hundredths, guarded};
}

// Only the user's own text is looked at this way: a copy of a password would stay in freed memory.
bool isPause(const QString& ownToken) {
    QString trimmed = ownToken.toUpper();
    while (trimmed.endsWith(QLatin1Char(' '))) {
        trimmed.chop(1);
    }
    return trimmed == QLatin1String("PAUSE");
}

// A token of the group interpreter, the text between its brackets.
void planToken(const ExpandedText& token, std::vector<SendStep>& steps) {
    const bool own = ownText(token);
    if (own && isPause(token.text)) {
        // A pause types nothing: the wait after it makes it.
        steps.push_back(wait(10, true));
        return;
    }
    {
        // A token holding an entry's value is never a key: the value is typed as it is.
        int64_t waitFor = -1;
        const KeyResolution r =
            own ? resolveKeyToken(token.text, [&waitFor](int64_t n) { waitFor = n; }) : KeyResolution{};
        if (r.waited) {
            steps.push_back(wait(waitFor, true));
        } else if (r.code != 0) {
            steps.push_back(key(r.code));
        } else {
            SendStep text = characters(token.text);
            text.guarded = true;
            steps.push_back(text);
        }
    }
    steps.push_back(wait(10, false));
}

} // namespace

std::vector<SendStep> planGroups(const ExpandedText& text, int groupSize, int64_t interval) {
    std::vector<SendStep> steps;
    ExpandedText t = text;
    while (!t.trimmedRight().text.isEmpty()) {
        const qsizetype p = findOwn(t, QLatin1Char('['));
        if (p < 0) {
            steps.push_back(characters(t.trimmedRight().text));
            break;
        }
        if (p == 0) {
            const ExpandedText rest = t.mid(1);
            const qsizetype q = findOwn(rest, QLatin1Char(']'));
            if (q < 0) {
                planToken(rest, steps);
                t = ExpandedText{};
            } else {
                planToken(rest.mid(0, q), steps);
                t = rest.mid(q + 1);
            }
        } else {
            qsizetype n = std::min<qsizetype>(p, groupSize);
            // A character made of two UTF-16 units is never split between two groups.
            if (n < p && t.text.at(n - 1).isHighSurrogate()) {
                ++n;
            }
            steps.push_back(characters(t.text.left(n)));
            t = t.mid(n);
        }
        steps.push_back(wait(interval, false));
    }
    steps.push_back({SendStep::Kind::Flush, {}, 0, 0, false});
    return steps;
}

std::vector<SendStep> planDirect(const ExpandedText& text) {
    std::vector<SendStep> steps;
    auto pauseAfter = [&steps](int value) {
        if (value < 32 || value > 255) {
            steps.push_back(wait(5, false));
        }
    };
    const QString& s = text.text;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i) == QLatin1Char('[') && !text.isLiteral(i)) {
            const qsizetype close = findOwn(text, QLatin1Char(']'), i + 1, i + 34);
            if (close > i) {
                const ExpandedText token = text.mid(i + 1, close - i - 1);
                // Looked at in place: the token may hold part of a password.
                QStringView name = token.text;
                int repeat = 1;
                if (const qsizetype space = name.indexOf(QLatin1Char(' ')); space >= 0) {
                    int n = 0;
                    for (QChar c : name.mid(space + 1).left(4)) {
                        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                            break;
                        }
                        n = n * 10 + (c.unicode() - '0');
                    }
                    repeat = std::max(n, 1);
                    name = name.left(space);
                }
                int64_t waitFor = -1;
                const KeyResolution r = ownText(token) ? resolveKeyToken(name.toString(), [&waitFor](int64_t n) {
                    waitFor = n;
                })
                                                       : KeyResolution{};
                if (r.waited) {
                    steps.push_back(wait(waitFor, true));
                    i = close;
                    continue;
                }
                if (r.code != 0) {
                    for (int k = 0; k < repeat; ++k) {
                        steps.push_back(key(r.code));
                        pauseAfter(r.code);
                    }
                    i = close;
                    continue;
                }
            }
        }
        const qsizetype width = s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate() ? 2 : 1;
        steps.push_back(characters(s.mid(i, width)));
        pauseAfter(width == 2 ? static_cast<int>(QChar::surrogateToUcs4(s.at(i), s.at(i + 1))) : s.at(i).unicode());
        i += width - 1;
    }
    steps.push_back(wait(5, false));
    return steps;
}

} // namespace zendrel
