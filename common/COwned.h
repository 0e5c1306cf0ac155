// One object made with new, owned by one variable and deleted with it, or
// earlier by Free(). The owners of a function are released in the reverse
// of the order they are declared in, on every way out of it, so that order
// is written once, where they are declared. It needs no library: the
// Windows build carries only a small runtime of its own.
#pragma once

template <class T> class COwned {
public:
    explicit COwned(T* pObject = nullptr) : m_pObject(pObject) {}
    ~COwned() { Free(); }
    COwned(const COwned&) = delete;
    COwned& operator=(const COwned&) = delete;

    T* operator->() const { return m_pObject; }
    T* Get() const { return m_pObject; }
    bool IsEmpty() const { return m_pObject == nullptr; }

    // Deletes the object now; nothing when it is gone already.
    void Free() {
        T* pObject = m_pObject;
        m_pObject = nullptr;
        delete pObject;
    }

    // Hands the object on to the caller, who owns it then.
    T* Detach() {
        T* pObject = m_pObject;
        m_pObject = nullptr;
        return pObject;
    }

private:
    T* m_pObject;
};
