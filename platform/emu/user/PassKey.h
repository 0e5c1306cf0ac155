// A pass-key: only T can make one, so a function that asks for a PassKey<T>
// can be called from T and from nowhere else. It names the one caller that
// may use an operation without making that caller a friend of everything.
#pragma once

namespace emu::user {

template <typename T> class PassKey {
    friend T;
    // User-provided, so that no one else can make one with `{}`.
    PassKey() {}
};

} // namespace emu::user
