#pragma once
// Scope guards of the spreadsheet window: the flag that marks it showing the
// engine's state (not acting for the user) and the count of changes it makes
// itself, which its engine notifications tell apart from automation's.

namespace zbir::workbook {

// Sets a flag for a scope.
class Raise {
public:
    explicit Raise(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~Raise() { m_flag = m_old; }
    Raise(const Raise&) = delete;
    Raise& operator=(const Raise&) = delete;

private:
    bool& m_flag;
    bool m_old;
};

// Counts a change the window itself makes, for its scope.
class Own {
public:
    explicit Own(int& count) : m_count(count) { ++m_count; }
    ~Own() { --m_count; }
    Own(const Own&) = delete;
    Own& operator=(const Own&) = delete;

private:
    int& m_count;
};

}  // namespace zbir::workbook
