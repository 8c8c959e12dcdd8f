// A non-owning reference to a callable, for passing loop bodies to the worker pool without a heap
// allocation per call. The referenced callable must outlive every call made through the reference.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace ostrel::imaging {

template <typename Signature>
class FunctionRef;

template <typename Result, typename... Args>
class FunctionRef<Result(Args...)> {
public:
    template <typename Callable,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<Callable>, FunctionRef> &&
                                          std::is_invocable_r_v<Result, Callable &, Args...>>>
    FunctionRef(Callable &&callable)  // NOLINT: implicit by design, like a function pointer
        : object_(const_cast<void *>(static_cast<const void *>(std::addressof(callable)))),
          call_([](void *object, Args... args) -> Result {
              return (*static_cast<std::remove_reference_t<Callable> *>(object))(
                  std::forward<Args>(args)...);
          }) {}

    Result operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    void *object_;
    Result (*call_)(void *, Args...);
};

}  // namespace ostrel::imaging
