; A turbo loader: reads one block of 6912 screen bytes and their XOR at 1800/500/600/1200 T,
; border green when the XOR holds, red when it does not.
        org 32768
start:  di
        ld ix,16384
        ld de,6913
        call turbo
        ld a,4
        jr z,show
        ld a,2
show:   out (254),a
        ei
        ret

; Waits for the next edge of the EAR bit. B counts 50-T loops; C holds the last level.
; Returns NZ at an edge, Z when B ran out.
edge:   inc b
        ret z
        ld a,127
        in a,(254)
        xor c
        and 64
        jr z,edge
        ld a,c
        xor 64
        ld c,a
        or 1
        ret

turbo:  ld a,127
        in a,(254)
        and 64
        ld c,a
find:   ld h,0
pilot:  ld b,0
        call edge
        jr z,find
        ld a,b
        cp 28
        jr c,find
        cp 46
        jr nc,find
        inc h
        jr nz,pilot
sync:   ld b,0
        call edge
        jr z,find
        ld a,b
        cp 20
        jr nc,sync
        ld b,0
        call edge
        jr z,find
        ld l,0
nextbyte:   ld h,1
nextbit:    ld b,0
        call edge
        jr z,fail
        call edge
        jr z,fail
        ld a,b
        cp 34
        ccf
        rl h
        jr nc,nextbit
        ld (ix+0),h
        ld a,h
        xor l
        ld l,a
        inc ix
        dec de
        ld a,d
        or e
        jr nz,nextbyte
        ld a,l
        or a
        ret
fail:   or 1
        ret
        end start
