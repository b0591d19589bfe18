#!/usr/bin/awk -f
# bench/screens.sh's raw lines (platform screen program run share xshare own_fps
# updates load [step]) as one Markdown table per platform: per screen and program the
# worst of the runs (highest shares, lowest frame rate) and the highest load.
{
    k = $1 SUBSEP $2 SUBSEP $3
    if (!(k in share) || $5 > share[k]) share[k] = $5
    if (!(k in xshare) || $6 > xshare[k]) xshare[k] = $6
    rate = $7 == "-" ? $8 : $7  # Plix.scr says none: its screen updates stand for it
    if (rate == "-") rate = 0
    if (!(k in fps) || rate + 0 < fps[k]) fps[k] = rate + 0
    # The program's own frame step in the run (plix --fps), the worst of the runs.
    if (NF >= 10 && $10 != "-" && (!(k in instep) || $10 > instep[k])) instep[k] = $10
    if (!(k in runs)) runs[k] = 0
    runs[k]++
    s = $1 SUBSEP $2
    if (!(s in load) || $9 > load[s]) load[s] = $9
    if (!(s in seen)) { seen[s] = 1; order[++n] = s }
}
# screens_of(PLATFORM, OUT): the screens measured on PLATFORM, in order, as
# OUT[1..m]; returns m.
function screens_of(platform, out,    i, m, f) {
    m = 0
    for (i = 1; i <= n; i++) {
        split(order[i], f, SUBSEP)
        if (f[1] == platform) out[++m] = f[2]
    }
    return m
}
# cell(K): one measurement's column, its worst share, the X server's and its frame rate.
function cell(k) {
    return k in share ? sprintf(" | %.1f %% (%.1f %%), %.0f/s", share[k], xshare[k], fps[k]) : " | -"
}

END {
    split("floor copy centre random 1000x256 off", prog, " ")
    name["wine32"] = "Plix.scr, i686 (Plix-<version>-win32), under Wine"
    name["wine64"] = "Plix.scr, x86-64 (Plix-<version>-win64), under Wine"
    name["x11"] = "plix --root (native, x86-64)"
    name["wine64-base"] = "BASE_WIN64's Plix.scr, x86-64, under Wine"
    name["x11-base"] = "BASE_NATIVE's plix --root (native, x86-64)"
    split("wine32 wine64 x11 wine64-base x11-base", platforms, " ")
    for (p = 1; p <= 5; p++) {
        platform = platforms[p]
        if (!(m = screens_of(platform, sc))) continue
        printf "\n%s: share of one core, worst of the runs (the X server's in brackets), frames a second\n\n", name[platform]
        print "| screen | floor: paints nothing | copies the whole screen | defaults, centre starts | defaults, random starts | 1000 × 256 | display off (defaults, random) | highest load average (1 min) |"
        print "|---|---:|---:|---:|---:|---:|---:|---:|"
        for (i = 1; i <= m; i++) {
            line = "| " sc[i]
            for (j = 1; j <= 6; j++) line = line cell(platform SUBSEP sc[i] SUBSEP prog[j])
            print line " | " load[platform SUBSEP sc[i]] " |"
        }
    }
}

# Start and steady state side by side per platform, screen and setting: the
# runs' worst, the frame step's own share at steady state (as the program
# measured it in the same run, else a Windows build's own drawn ahead where it
# was measured, with plix-sim's beside it), and whether steady
# state costs no more than the step plus the whole copy, program + server (each
# the worst of the runs: the highest total).
{
    t = $5 + $6
    if (!(k in total) || t > total[k]) total[k] = t
    if (split($3, a, "+") == 2) ahead[$2 SUBSEP a[1]] = a[2]
}
END {
    split("centre random 1000x256", setting, " ")
    label["centre"] = "defaults, centre starts"
    label["random"] = "defaults, random starts"
    label["1000x256"] = "1000 × 256"
    for (p = 1; p <= 3; p++) {
        platform = platforms[p]
        if (!(m = screens_of(platform, sc))) continue
        printf "\n%s, start and steady state: share of one core, worst of the runs (the X server's in brackets), frames a second\n\n", name[platform]
        print "| screen | setting | start | steady state (frames on) | frame step at steady state (the program's own, in the run or drawn ahead; plix-sim's in brackets) | floor: paints nothing | copies the whole screen | steady ≤ step + copy, program + server |"
        print "|---|---|---:|---:|---:|---:|---:|---|"
        for (i = 1; i <= m; i++) {
            f[2] = sc[i]
            for (j = 1; j <= 3; j++) {
                st = setting[j]
                if (!((f[2] SUBSEP st) in ahead)) continue
                steady = st "+" ahead[f[2] SUBSEP st]
                line = "| " f[2] " | " label[st]
                split(st " " steady, ps, " ")
                for (q = 1; q <= 2; q++) {
                    k = platform SUBSEP f[2] SUBSEP ps[q]
                    line = line cell(k)
                    if (q == 2) line = line " (" ahead[f[2] SUBSEP st] ")"
                }
                # The program's own step in the run, else a Windows build's own
                # drawn ahead, where measured; plix-sim's in brackets.
                nk = "step" SUBSEP f[2] SUBSEP steady
                sk = "step-" platform SUBSEP f[2] SUBSEP steady
                ik = platform SUBSEP f[2] SUBSEP steady
                if (ik in instep) { share["in-run" SUBSEP ik] = instep[ik]; sk = "in-run" SUBSEP ik }
                if (sk in share)
                    line = line sprintf(" | %.1f %%", share[sk]) (nk in share ? sprintf(" (%.1f %%)", share[nk]) : "")
                else {
                    sk = nk
                    line = line (sk in share ? sprintf(" | %.1f %%", share[sk]) : " | -")
                }
                for (q = 1; q <= 2; q++) {
                    k = platform SUBSEP f[2] SUBSEP (q == 1 ? "floor" : "copy")
                    line = line (k in share ? sprintf(" | %.1f %% (%.1f %%)", share[k], xshare[k]) : " | -")
                }
                k = platform SUBSEP f[2] SUBSEP steady
                ck = platform SUBSEP f[2] SUBSEP "copy"
                if ((k in total) && (ck in total) && (sk in share)) {
                    limit = share[sk] + total[ck]
                    line = line sprintf(" | %s: %.1f %% %s %.1f %% |", total[k] <= limit ? "holds" : "does not hold", total[k], total[k] <= limit ? "≤" : ">", limit)
                } else line = line " | - |"
                print line
            }
        }
    }
}

# Before and after: each setting's start and steady state by the other build
# (BASE_*) beside this one's, measured taking turns.
END {
    split("wine64 x11", after, " ")
    for (p = 1; p <= 2; p++) {
        if (!(m = screens_of(after[p] "-base", sc))) continue
        printf "\n%s at the start and at steady state, before (BASE) and after: share of one core, worst of the runs (the X server's in brackets), frames a second\n\n", name[after[p]]
        print "| screen | setting | before | after | program + server, after − before |"
        print "|---|---|---:|---:|---:|"
        for (i = 1; i <= m; i++) {
            for (j = 1; j <= 3; j++) {
                for (q = 1; q <= 2; q++) {
                    st = setting[j]
                    if (q == 2) st = st "+" ahead[sc[i] SUBSEP st]
                    bk = after[p] "-base" SUBSEP sc[i] SUBSEP st
                    ak = after[p] SUBSEP sc[i] SUBSEP st
                    if (!(bk in total) || !(ak in total)) continue
                    printf "| %s | %s%s%s%s | %+.1f points |\n", sc[i], label[setting[j]],
                        q == 2 ? ", steady (" ahead[sc[i] SUBSEP setting[j]] ")" : "", cell(bk), cell(ak), total[ak] - total[bk]
                }
            }
        }
    }
}
