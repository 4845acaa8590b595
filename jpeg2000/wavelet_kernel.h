// The two wavelet kernels of ITU-T T.800 Annex F in lifting form (the
// irreversible 9/7 and the reversible 5/3), with the impulse responses and
// gains derived from their lifting steps: the quantiser derives step sizes
// from the synthesis energy gains, the transform stages bound their dynamic
// range with the BIBO gains.
#pragma once

#include <vector>

namespace j2k {

class wavelet_kernel_desc {
public:
    // kernel 0: 9/7 (irreversible only), 1: 5/3; "Illegal DWT kernel" else.
    wavelet_kernel_desc(int kernel_id, bool reversible);
    // The three kernels the engine uses (9/7, reversible and irreversible
    // 5/3), built once and read-only afterwards.
    static const wavelet_kernel_desc& standard(int kernel_id, bool reversible);

    int kernel_id() const { return id_; }
    // The lifting factors; low and high normalisers out.
    const std::vector<float>& lifting_steps(int& count, float& low_norm, float& high_norm) const;
    // Reversible integer shifts of the steps (5/3 only: 1, 2).
    const std::vector<int>& step_shifts() const { return shifts_; }
    // kind 0 analysis low, 1 analysis high, 2 synthesis low, 3 synthesis high:
    // taps from -half to half.
    const std::vector<float>& impulse_response(int kind, int& half_length) const;
    // Squared norm of the synthesis basis function of branch 2 (low) or 3
    // (high) at depth d.
    double synthesis_energy_gain(int branch, int depth) const;
    // Per-step gains of the last of `levels` levels, with the low and high
    // gains.
    std::vector<double> bibo_gains(int levels, double& low_gain, double& high_gain) const;

private:
    int id_;
    bool reversible_;
    std::vector<float> factors_;
    std::vector<int> shifts_;
    float low_norm_ = 1, high_norm_ = 1;
    double energy_gain(int branch, int depth) const;
    std::vector<float> responses_[4];
    int half_[4] = {0, 0, 0, 0};
    double gains_[2][5]; // synthesis energy gains, low and high, depths 0 to 4
};

} // namespace j2k
