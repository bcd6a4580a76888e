// The universal components' error wrapping and class-level helpers.
#include "data/components/Uni.h"

namespace components {

EUniError::EUniError(const daccess::EDAError& Inner)
    : EDAError(Inner.ErrorCode(), Inner.Message()),
      FInner(std::shared_ptr<const daccess::EDAError>(static_cast<daccess::EDAError*>(Inner.Clone().release()))) {
    SetComponent(Inner.Component());
}

void ReraiseAsUniError(const std::function<void()>& Body) {
    try {
        Body();
    } catch (const EUniError&) {
        throw;
    } catch (const daccess::EDAError& e) {
        throw EUniError(e);
    }
}

TUniProvider* TUniUtils::GetProvider(TUniConnection* Connection) {
    if (!Connection) db::DatabaseError(daccess::SConnectionNotDefined);
    return Connection->GetProvider();
}

}  // namespace components
