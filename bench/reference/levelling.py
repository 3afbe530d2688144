#!/usr/bin/env python3
# Double-precision reference of the levelling stage (band mode 1, channel mode 3, 60 bands,
# limit 10, Clear target, pass filters off), written separately from the C++ engine.
# Usage: levelling.py IN.wav OUT.wav (OUT made by sonivar-cli remaster IN OUT --level).
import numpy as np, struct, sys
N=16384; H=8192
def readwav(p):
    b=open(p,'rb').read()
    ch,rate=struct.unpack('<HI',b[22:28]); bits=struct.unpack('<H',b[34:36])[0]
    i=b.find(b'data'); n=struct.unpack('<I',b[i+4:i+8])[0]
    d=np.frombuffer(b[i+8:i+8+n],dtype='<i2').astype(np.int64).reshape(-1,ch)*256
    return d,rate,ch
d,rate,ch=readwav(sys.argv[1])
F=d.shape[0]
# one hop of zeros past the store's end for the filtering walk's extra hop
store=np.zeros((F+4*H,ch)); store[H:H+F]=d
D=N-1; i=np.arange(N)
hann=(1-np.cos(2*np.pi*i/D))/2; ana=np.sqrt(1-((2*i-D)/D)**2)
syn=np.where(ana!=0,hann/np.where(ana!=0,ana,1),0)
kk=np.arange(N); km=np.where(kk>N//2,N-kk,kk); freq=(km/N*rate).astype(np.float32).astype(np.float64)
hops=F//H
A=np.zeros((2,N)); P=np.zeros((2,N))
for h in range(hops+1):
    for c in range(min(ch,2)):
        X=np.fft.fft(store[h*H:h*H+N,c]*ana); m=np.abs(X); A[c]+=m; P[c]=np.maximum(P[c],m)
A/=2*(hops+1)
w=np.ones(N); w[1:]=0.03/np.arctan(0.013*freq[1:]); P*=w
M=(3*A+P)/4   # band mode 1
# target Clear
fl=np.float32(1/N*44100); 
W=np.array([2e9*np.exp(-7*(j+1)/62) for j in range(62)],dtype=np.float32).astype(np.float64)
f44=(km/N*44100).astype(np.float32).astype(np.float64)
fLow=f44[1]; fHigh=f44[8191]
T=np.zeros(N)
for k in range(1,N):
    x=59*np.log10(f44[k]/fLow)/np.log10(fHigh/fLow); j=int(np.round(x))+1; dd=x+1-j
    n=j+1 if dd>=0 else j-1
    cc=np.cos(np.pi*dd); T[k]=(cc*(W[j]-W[n])+W[j]+W[n])/2
curves=[np.where(M[c]!=0,T/np.where(M[c]!=0,M[c],1),0) for c in range(2)]
if ch==2:
    m=(curves[0]+curves[1])/2; curves=[(3*curves[c]+m)/4 for c in range(2)]  # channel mode 3
b=60; limit=10
L=np.log10(freq[8192]/12)
p=np.zeros(N); p[1:]=np.log10(freq[1:]/12)*(b-1)/L
idx=np.zeros(N,dtype=int); idx[1:]=np.round(p[1:]).astype(int)+1
def smooth(cu):
    band=np.zeros(b+2); cnt=np.zeros(b+2)
    for k in range(1,N):
        if 1<=idx[k]<=b: band[idx[k]]+=cu[k]; cnt[idx[k]]+=1
    for j in range(b,0,-1): band[j]=band[j]/cnt[j] if cnt[j]>0 else band[j+1]
    v=band[1:b+1]; hi=v.max(); lo=v.min()
    while True:
        sel=v[(v>=lo)&(v<=hi)]; gm=np.exp(np.mean(np.log(sel))) if len(sel) else 1
        if gm/hi<lo/gm:
            below=v[v<hi]; hi=below.max() if len(below) else 0
        else:
            above=v[v>lo]; lo=above.min() if len(above) else hi
        if lo/hi>1/(2*limit): break
    band[1:b+1]=np.clip(v,lo,hi)
    gm=np.exp(np.mean(np.log(band[1:b+1]))); band[1:b+1]=1.5*band[1:b+1]/gm
    band[0]=band[1]; band[b+1]=band[b]
    # bins outside every band and bin 0: the bands' factor, capped at the top band value
    out=np.minimum(cu*1.5/gm, band[1:b+1].max())
    for k in range(1,N):
        j=idx[k]
        if not 1<=j<=b: continue
        dd=p[k]+1-j; cc=np.cos(np.pi*dd)
        out[k]=(cc*(band[j]-band[j+1])+band[j]+band[j+1])/2 if dd>=0 else (cc*(band[j]-band[j-1])+band[j-1]+band[j])/2
    f=freq.copy()
    for k in range(1,N):
        fk=f[k]
        out[k]*=np.sqrt(1/(1+(5/fk)**12))*np.sqrt(1/(1+(fk/25000)**12))*np.sqrt(1/(1+(17/fk)**18))*np.sqrt(1/(1+(fk/20000)**50))
    return out
curves=[smooth(curves[c]) for c in range(min(ch,2))]
out=np.zeros_like(store)
for h in range(hops+2):  # one hop past F div H, so the last frames get both window halves
    for c in range(ch):
        X=np.fft.fft(store[h*H:h*H+N,c]*ana)*curves[c]
        s=np.real(np.fft.ifft(X))*syn
        out[h*H:h*H+N,c]+=np.rint(s)
res=np.clip(np.trunc(out[H:H+F]/256),-32768,32767).astype(np.int64)
o,_,_=readwav(sys.argv[2]); o=o//256
diff=np.abs(res-o)
print("max diff",diff.max(),"mean diff",diff.mean(),"frac nonzero",(diff>0).mean(), "peak", np.abs(o).max())
