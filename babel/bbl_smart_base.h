#ifndef BABEL_BBL_SMART_BASE_H
#define BABEL_BBL_SMART_BASE_H

namespace babel {

// Root of every conversion engine.
class bbl_smart_base {
public:
    bbl_smart_base() = default;
    virtual ~bbl_smart_base() = default;

protected:
    int ref_count = 0;
};

}  // namespace babel

#endif
